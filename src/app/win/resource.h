#pragma once

// The identities of the Windows program's resources and controls, shared by
// plinth.rc and the code.

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDR_MAINFRAME 128
#define IDD_OPTIMIZE 129
#define IDS_BOOK_FILTER 135
#define IDD_BOOK_PREVIEW 182
#define IDS_NOT_A_BOOK 1038

#define IDC_OPEN_BOOK 1000
#define IDC_ATTRIBUTES 1002
#define IDC_ANALYSE 1003
#define IDC_OPTIMIZE 1004
#define IDC_CONSOLE 1005
#define IDC_RECORD_SIZE 1006
#define IDC_HASH_INDEX_SIZE 1007
#define IDC_PROGRESS 1008
#define IDC_PREDICTION 1009
#define IDC_RECOMMENDATION 1010
#define IDC_USE_RECOMMENDED 1011
#define IDC_READ_AS 1012
#define IDC_DESCRIPTION 1064
#define IDC_ABOUT_TEXT 1065

// The system menu's About entry.
#define IDM_ABOUTBOX 0x0010
// The "Help" button: the help page's index.
#define ID_HELP_INDEX 57666
