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

// Added views: the caller's name or area at a glance, the history, naming.
#define IDC_CALLERGLANCE 120
#define IDD_HISTORY 300
#define IDC_HISTORYLIST 301
#define IDC_HISTORYNAME 302
#define IDC_HISTORYCOPY 303
#define IDC_HISTORYSEARCH 304
#define IDC_HISTORYSTATUS 305
#define IDD_NAME 310
#define IDC_NAMEPROMPT 311
#define IDC_NAMEEDIT 312
// A notice that does not wait: the call log's outages.
#define IDD_NOTICE 320
#define IDC_NOTICETEXT 321
// The settings that are no switch of the menu, below what does not work now.
#define IDD_SETTINGS 330
#define IDC_SETTINGSPROBLEMS 331
#define IDC_SETTINGSFAULT 332
#define IDC_SETTINGSHOOKLABEL 333
#define IDC_SETTINGSHOOK 334
#define IDC_SETTINGSMQTTURLLABEL 335
#define IDC_SETTINGSMQTTURL 336
#define IDC_SETTINGSMQTTTOPICLABEL 337
#define IDC_SETTINGSMQTTTOPIC 338
#define IDC_SETTINGSREGIONLABEL 339
#define IDC_SETTINGSREGION 340
#define IDC_SETTINGSPHONEBOOKLABEL 341
#define IDC_SETTINGSPHONEBOOK 342

// Menu commands of the context menu and the notification-area icon.
#define IDM_NAMECALLER 400
#define IDM_HISTORY 401
#define IDM_AUTOSTART 402
#define IDM_TRAY 403
#define IDM_NOTIFY 404
#define IDM_SHOW 405
#define IDM_CHECK 406
#define IDM_QUIT 407
#define IDM_OPENPHONEBOOK 408
#define IDM_CHOOSEPHONEBOOK 409
#define IDM_SETTINGS 410
