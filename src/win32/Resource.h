// Identifiers shared by the resource script and the code. The control IDs
// are also how tests find the controls from outside the program.
#pragma once

#define IDI_TELVANE 1

#define IDC_NUMBERLABEL 101
#define IDC_TIMELABEL 102
#define IDC_STATUSLABEL 103
#define IDC_LOGRINGFLAG 104
#define IDC_LABEL2 105
#define IDC_INTERVALSELECTOR 106
#define IDC_LABEL1 107
#define IDC_PORTSELECTOR 108
#define IDC_ABOUTBUTTON 109
#define IDC_SHOWBUTTON 110
#define IDC_CHECKBUTTON 111
#define IDC_WAITBUTTON 112

#define IDD_ABOUT 200
#define IDC_PANEL1 201
#define IDC_IMAGEICON 202
#define IDC_PRODUCTNAME 203
#define IDC_VERSION 204
#define IDC_OKBUTTON 1
