// Identifiers shared by the resource script and the code.
#pragma once

#define IDI_QUILLMARK 1
#define IDB_TOOLBAR_48 101
#define IDB_TOOLBAR_60 102
#define IDB_TOOLBAR_72 103
#define IDB_TOOLBAR_96 104
#define IDA_MAIN 201
#define IDD_ABOUTBOX 301

// Commands of the actions, the accelerators and the tool bar.
#define IDM_FILENEW 1001
#define IDM_OPENFROMINI 1002
#define IDM_SAVETOINI 1003
#define IDM_SAVETOCSV 1004
#define IDM_SAVETOBAT 1005
#define IDM_CHECKALL 1006
#define IDM_UNCHECK 1007
#define IDM_HELP 1008
#define IDM_CANCEL 1009

// Controls of the about box.
#define IDC_PROGRAMICON 310
#define IDC_PRODUCTNAME 311
#define IDC_VERSION 312
#define IDC_COPYRIGHT 313
#define IDC_URL 314
