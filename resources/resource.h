// Resource ids shared by the .rc files and the code.
#pragma once

// Main window and its controls.
#define IDD_MAIN                   100
#define IDC_LBL_INFO               101
#define IDC_BUSY                   102
#define IDC_LABEL1                 103
#define IDC_LBL_QUELLE             104
#define IDC_LABEL2                 105
#define IDC_LBL_ZIEL               106
#define IDC_LBL_TMP2               107
#define IDC_LBL_TMP                108
#define IDC_LABEL3                 109
#define IDC_LABEL4                 110
#define IDC_S_GRID                 111
#define IDC_LABEL5                 112
#define IDC_LISTBOX1               113
#define IDC_BEVEL1                 114
#define IDC_BTN_START              115
#define IDC_LBL_DEBUGINFO          116
#define IDC_LBL_DEBUGINFO_AKTIV    117
#define IDC_CB_NEUSTART            118
#define IDC_BTN_CLOSE              119

// Window texts.
#define IDS_APP_TITLE              900
#define IDS_CAPTION_VERSION        901
#define IDS_HEADLINE               902
#define IDS_HEADLINE_VERSIONS      903
#define IDS_HINT_PATHS_ONLY        904
#define IDS_NOT_INSTALLED          905

// Farm key grid.
#define IDS_GRID_FARM              950
#define IDS_GRID_KEY               951
#define IDS_KIND_FIRST             952
#define IDS_KIND_SUPPLEMENT        953
#define IDS_KIND_LATER             954
// What screen readers call the grid, and how they tell an edited key.
#define IDS_GRID_NAME              955
#define IDS_GRID_EDITED            956

// Results of the encryption library.
#define IDS_PBF_WRONG_KEY          1001
#define IDS_PBF_READ_ONLY          1002
#define IDS_PBF_NOT_FOUND          1003
#define IDS_PBF_UNKNOWN            1004
#define IDS_PBF_UNREADABLE         1005
#define IDS_PBF_NOT_LIBRARY        1006
#define IDS_PBF_TRUNCATED          1007
#define IDS_PBF_WRONG_MACHINE      1008
#define IDS_PBF_LOAD_FAILED        1009
#define IDS_PBF_EXCEPTION          1010
#define IDS_PBF_ENCRYPT_ABORTED    1011
#define IDS_PBF_RUN_STOPPED        1012
#define IDS_MACHINE_X86            1013
#define IDS_MACHINE_X64            1014
#define IDS_MACHINE_ARM64          1015
#define IDS_MACHINE_OTHER          1016
#define IDS_WINDOWS_ERROR          1017

// Start-up errors and conversions.
#define IDS_NOT_AN_INTEGER         1101
#define IDS_WRONG_REGISTRY_TYPE    1102
#define IDS_FILE_NOT_READABLE      1103
#define IDS_TEXT_NOT_CP1252        1105

// Key check
#define IDS_KC_BEGIN               1201
#define IDS_KC_DELETE_TMPCND       1202
#define IDS_KC_TMPCND_LOCKED       1203
#define IDS_KC_COPY                1204
#define IDS_KC_COPY_FAILED         1205
#define IDS_KC_ATTRIBUTES          1206
#define IDS_KC_DELETE_TMPNAME      1207
#define IDS_KC_NO_LIBRARY          1208
#define IDS_KC_LOAD                1209
#define IDS_KC_LOAD_FAILED         1210
#define IDS_KC_FIND                1211
#define IDS_KC_FIND_FAILED         1212
#define IDS_KC_CALL                1213
#define IDS_KC_CALL_SOURCE         1214
#define IDS_KC_CALL_TARGET         1215
#define IDS_KC_CALL_KEY            1216
#define IDS_KC_FAILED              1217
#define IDS_KC_DELETE_PLAIN        1218
#define IDS_KC_DELETE_COPY         1219
#define IDS_KC_END                 1220
#define IDS_KC_CALL_ABORTED        1221
#define IDS_DLL_NOT_UNLOADED       1222
#define IDS_DLL_NOT_UNLOAD_BOX     1223

// Update run
#define IDS_RUN_NO_LIBRARY         1301
#define IDS_RUN_KEYS               1302
#define IDS_RUN_KEY_BEGIN          1303
#define IDS_RUN_KEY_CALL           1304
#define IDS_RUN_KEY_END            1305
#define IDS_RUN_PLAUSI             1306
#define IDS_RUN_PLAUSI_BEGIN       1307
#define IDS_RUN_PLAUSI_END         1308
#define IDS_RUN_DATA               1309
#define IDS_RUN_DATA_BEGIN         1310
#define IDS_RUN_DATA_END           1311
#define IDS_RUN_FOLDERS            1312
#define IDS_RUN_PROGRAM_FILES      1313
#define IDS_RUN_SHORTCUTS          1314
#define IDS_RUN_DOCUMENTS          1315
#define IDS_RUN_DOCUMENTS_BEGIN    1316
#define IDS_RUN_DOCUMENTS_END      1317
#define IDS_RUN_SUCCESS            1318
#define IDS_RUN_VERSIONS           1319
#define IDS_RUN_EXCEPTION          1320
#define IDS_RUN_EXCEPTION_TEXT     1321
#define IDS_RUN_EXCEPTION_TEXT_BLANK 1322
#define IDS_RUN_UNKNOWN_ERROR      1323
#define IDS_RUN_NOT_INSTALLED      1330
#define IDS_RUN_PROGRESS           1331
#define IDS_REFUSED_HEADLINE       1324
#define IDS_REFUSED_BOX            1325

// Farm data
#define IDS_FILE_NOT_WRITABLE      1104
#define IDS_PLAUSI_FAILED          1401
#define IDS_DATA_COUNT             1402
#define IDS_DATA_FAILED            1403
#define IDS_DATA_OLD_VERSION       1404
#define IDS_DATA_UPDATING          1405
#define IDS_DATA_EDIT_FAILED       1420
#define IDS_STRUCTURE_LISTED       1406
#define IDS_STRUCTURE_NOT_LISTED   1407
#define IDS_STRUCTURE_NEWER        1408
#define IDS_STRUCTURE_CURRENT      1409

// Folder restructuring
#define IDS_FOLDERS_FAILED         1501
#define IDS_FOLDERS_NO_ID          1502
#define IDS_FOLDERS_DESCRIPTION    1503
#define IDS_FOLDERS_DATA           1504
#define IDS_FOLDERS_NO_KEY         1505
#define IDS_FOLDERS_BAD_VALUE      1506
#define IDS_FOLDERS_RENAME         1507
#define IDS_FOLDERS_REGISTRY       1508
#define IDS_FOLDERS_BAD_ID         1510
#define IDS_FOLDERS_UNDO_FAILED    1511
#define IDS_FOLDERS_LEFT_FOLDER    1512
#define IDS_FOLDERS_LEFT_KEY       1513
#define IDS_FOLDERS_RECOVERED_NEW  1514
#define IDS_FOLDERS_RECOVERED_OLD  1515
#define IDS_FOLDERS_NOT_RECOVERED  1516
#define IDS_OLD_LAYOUT_LABEL       1509

// Installation files
#define IDS_PROGRAM_LOCKED         1601
#define IDS_PROGRAM_ATTRIBUTES     1602
#define IDS_PROGRAM_COPY           1603
#define IDS_SHELL_LINK             1604
#define IDS_DOC_ATTRIBUTES         1605
#define IDS_DOC_ARCHIVE            1606
#define IDS_DOC_COPY               1607
#define IDS_SHORTCUT_FOLDER_KEPT   1608
#define IDS_PROGRAM_NO_RIGHTS      1609
#define IDS_PROGRAM_RESTORED       1610
#define IDS_PROGRAM_RECOVERED_OLD  1611
#define IDS_PROGRAM_RECOVERED_NEW  1612
#define IDS_PROGRAM_NOT_RECOVERED  1613

// Preflight
#define IDS_PREFLIGHT_HEADER       1801
#define IDS_PREFLIGHT_NO_WRITE     1802
#define IDS_PREFLIGHT_NO_SPACE     1803
#define IDS_PREFLIGHT_NOT_TEXT     1804
#define IDS_PREFLIGHT_NO_RECORD    1805

// Run log file
#define IDS_RUNLOG_HEADER          1701
#define IDS_RUNLOG_VERSIONS        1702
#define IDS_RUNLOG_UPDATE_PATH     1703
#define IDS_RUNLOG_PROGRAM_PATH    1704
#define IDS_RUNLOG_TEMP_PATH       1705

// Command line and runs without a window
#define IDS_CMD_UNKNOWN            1901
#define IDS_CMD_USAGE              1902
#define IDS_LOG_NOT_WRITABLE       1903
#define IDS_SYSTEM_ACCOUNT         1904
#define IDS_ALREADY_RUNNING        1905
#define IDS_UNATTENDED_RUN         1906
#define IDS_UNATTENDED_CHECK       1907
#define IDS_CHECK_PASSED           1908
#define IDS_KEY_MISSING            1909
#define IDS_KEYS_MISSING_STOP      1910

// The run as one transaction.
#define IDS_TX_NOTHING_CHANGED     2001
#define IDS_TX_NOT_UNDONE          2002
#define IDS_TX_LEFT_NEW            2003
#define IDS_TX_LEFT_KEPT           2004
#define IDS_TX_LEFT_KEY            2005
#define IDS_TX_LEFT_VALUE          2006
#define IDS_TX_JOURNAL             2007
#define IDS_TX_RECOVERED_OLD       2008
#define IDS_TX_RECOVERED_NEW       2009
#define IDS_TX_NOT_RECOVERED       2010
#define IDS_PREFLIGHT_IN_THE_WAY   2011
#define IDS_PREFLIGHT_HELD         2012
#define IDS_RUN_NO_TEMP            2013
#define IDS_STRUCTURE_UNREADABLE   2014
#define IDS_TX_LEFT_LOST           2015
#define IDS_TX_OTHER_USER          2016
#define IDS_PREFLIGHT_FOLDER_NAME  2017
#define IDS_PREFLIGHT_DATA_HELD    2018

// Traceable runs.
#define IDS_RUNLOG_WHO             2101
#define IDS_RUNLOG_END             2102
#define IDS_SHORTCUT_NOT_REMOVED   2103
#define IDS_SHORTCUT_COMMON_SKIPPED 2104
#define IDS_RUN_PROGRAM_OPEN       2105
#define IDS_RUN_PROGRAMS_OPEN      2106
#define IDS_APPLIED_ID             2107
#define IDS_ALREADY_APPLIED        2108
#define IDS_APPLIED_NOT_WRITTEN    2109

// The update folder's signed list of files.
#define IDS_FOLDER_UNSIGNED_TEST   2201
#define IDS_FOLDER_VERIFIED        2202
#define IDS_FOLDER_VERIFIED_UNSIGNED 2203
#define IDS_FOLDER_REFUSED         2204
#define IDS_FOLDER_NO_MANIFEST     2205
#define IDS_FOLDER_NO_SIGNATURE    2206
#define IDS_FOLDER_BAD_SIGNATURE   2207
#define IDS_FOLDER_BAD_MANIFEST    2208
#define IDS_FOLDER_OLDER           2209
#define IDS_FOLDER_VERSION         2210
#define IDS_FOLDER_MISSING         2211
#define IDS_FOLDER_CHANGED         2212
#define IDS_FOLDER_DIGESTS         2213
#define IDS_FOLDER_EXTRA           2214
#define IDS_FOLDER_HELD            2215
#define IDS_FOLDER_UNREADABLE      2216
#define IDS_SIGNATURE_NOT_CMS      2217
#define IDS_SIGNATURE_OTHER_KEY    2218
#define IDS_SIGNATURE_NOT_SHA256   2219
#define IDS_SIGNATURE_OTHER_CONTENT 2220
#define IDS_SIGNATURE_NO_CERT      2221
// The signer's certificate (DER) in a release tool.
#define IDR_SIGNER_CERT            2301
