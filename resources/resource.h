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

// Results of the encryption library.
#define IDS_PBF_WRONG_KEY          1001
#define IDS_PBF_READ_ONLY          1002
#define IDS_PBF_NOT_FOUND          1003
#define IDS_PBF_UNKNOWN            1004

// Start-up errors and conversions.
#define IDS_NOT_AN_INTEGER         1101
#define IDS_WRONG_REGISTRY_TYPE    1102
#define IDS_FILE_NOT_READABLE      1103
