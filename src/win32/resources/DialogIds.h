#pragma once
// Identifiers of the settings and schedule dialogs and their controls,
// shared by their resource script and the code. Fields that mean the same
// in both dialogs share an identifier.
#define IDD_SETTINGS 200
#define IDD_SCHEDULE 201
#define IDD_CHECK 202

#define IDC_SESSIONS 1001
#define IDC_RESTART_EVERY 1002
#define IDC_RESTART_MEMORY 1003
#define IDC_EXPORT_PDF 1004
#define IDC_EXPORT_DWG 1005
#define IDC_EXPORT_DXF 1006
#define IDC_ANSWERS 1007
#define IDC_SET_BY_ADMINISTRATOR 1008
#define IDC_CALL_SECONDS 1009
#define IDC_QUEUE 1010

#define IDC_NIGHTS 1101
#define IDC_RUN_NOW 1102
#define IDC_CHANGE 1103
#define IDC_DELETE 1104
#define IDC_FOLDER 1105
#define IDC_BROWSE 1106
#define IDC_SUBFOLDERS 1107
#define IDC_TIME 1108
#define IDC_DAY_FIRST 1110 /* Monday; Sunday is IDC_DAY_FIRST + 6 */
#define IDC_LOG 1117
#define IDC_TIMEOUT 1118
#define IDC_LOGGED_ON 1119
#define IDC_LOGGED_OFF 1120
#define IDC_COMMAND 1121
#define IDC_STATUS 1122
#define IDC_SHARED 1123

#define IDC_CHECK_STATUS 1201
#define IDC_CHECK_TEXT 1202
#define IDC_CHECK_COPY 1203
#define IDC_CHECK_LIST 1204
#define IDC_CHECK_SWITCHES 1205
#define IDC_CHECK_USE 1206
