// Resource ids shared by the .rc files and the code.
#pragma once

// Results of the encryption library.
#define IDS_PBF_WRONG_KEY        1001
#define IDS_PBF_READ_ONLY        1002
#define IDS_PBF_NOT_FOUND        1003
#define IDS_PBF_UNKNOWN          1004

// Version numbers.
#define IDS_NOT_AN_INTEGER       1101
