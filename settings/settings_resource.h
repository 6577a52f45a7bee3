// The settings dialogs' templates and controls, shared by pelorin_bar.rc and the code. Their
// texts are set when each dialog opens, in the user's language.
#pragma once

#define IDD_SETTINGS 200
#define IDD_PAGE 201
#define IDD_SERVICE 202

// The settings dialog.
#define IDC_PAGES_LABEL 1000
#define IDC_PAGES 1001
#define IDC_PAGE_ADD 1002
#define IDC_PAGE_EDIT 1003
#define IDC_PAGE_REMOVE 1004
#define IDC_PAGE_UP 1005
#define IDC_PAGE_DOWN 1006
#define IDC_SERVICES_LABEL 1010
#define IDC_SERVICES 1011
#define IDC_SERVICE_ADD 1012
#define IDC_SERVICE_EDIT 1013
#define IDC_SERVICE_REMOVE 1014
#define IDC_SERVICE_UP 1015
#define IDC_SERVICE_DOWN 1016
#define IDC_FILE_NOTE 1020
#define IDC_APPLY 1021

// The page and service editors.
#define IDC_ADDRESS_LABEL 1100
#define IDC_ADDRESS 1101
#define IDC_FETCHED_AS 1102
#define IDC_TITLE_LABEL 1103
#define IDC_TITLE 1104
#define IDC_TITLE_STATUS 1105
#define IDC_IGNORE_MARKUP 1106
#define IDC_LANGUAGE_LABEL 1110
#define IDC_LANGUAGE 1111
#define IDC_METHOD_LABEL 1112
#define IDC_METHOD 1113
#define IDC_FORM_LABEL 1114
#define IDC_FORM 1115
#define IDC_PREVIEW 1116
