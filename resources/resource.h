// Identifiers of Keymoor's resources and of the controls and commands inside them.
// One prefix per kind: IDD_ dialog templates, IDC_ dialog controls, IDM_ menu commands,
// IDS_ strings, IDI_ icons, IDR_ menus, IDCUR_ cursors, IDB_ bitmaps. Shared by the .rc and
// the code; the numbers must not change.
#pragma once

// Dialog templates.
#define IDD_ABOUT 100
#define IDD_GENERATOR 102
#define IDD_RANDOM_TYPE 130
#define IDD_MASK_TYPE 131
#define IDD_PROGRESS 140

// Strings. The web commands' prompt texts use the commands' own ids (IDM_HOME_PAGE ...).
#define IDS_ABOUT_MAIN 101

// Icon, menu, cursor, bitmap.
#define IDI_APP 128
#define IDR_MAIN_MENU 129
#define IDCUR_HAND 154
#define IDB_ABOUT_PICTURE 169

// Main window (IDD_GENERATOR). Its Close button is IDOK. The Main menu's Generate,
// Generate to file and Save to file items carry the ids of the matching buttons.
#define IDC_TYPE_TAB 1001
#define IDC_PASSWORD_LIST 1002
#define IDC_TO_CLIPBOARD 1003
#define IDC_SAVE_TO_FILE 1004
#define IDC_COUNT_SPIN 1008
#define IDC_COUNT 1009
#define IDC_INCLUDE_TEXT 1011
#define IDC_USE_SMALL 1013
#define IDC_USE_DIGITS 1014
#define IDC_USE_SPECIAL 1015
#define IDC_GENERATE 1016
#define IDC_GENERATE_TO_FILE 1017
#define IDC_EXCLUDE_TEXT 1018
#define IDC_CLEAR_INCLUDE 1022
#define IDC_ADD_INCLUDE 1023
#define IDC_CLEAR_EXCLUDE 1024
#define IDC_ADD_EXCLUDE 1025
#define IDC_USE_INCLUDE 1026
#define IDC_USE_EXCLUDE 1027
#define IDC_USE_CAPITALS 1028

// Random page (IDD_RANDOM_TYPE).
#define IDC_LENGTH_SPIN 1010
#define IDC_VARIABLE_LENGTH 1012
#define IDC_LENGTH 1029

// Masked page (IDD_MASK_TYPE). Its ids repeat two of the main window's numbers; each window
// looks up its own children only, so they do not meet.
#define IDC_MASK 1017
#define IDC_SYMBOL_MASK 1018

// About box (IDD_ABOUT). Its OK button is IDOK.
#define IDC_EMAIL_LINK 1056
#define IDC_HOME_PAGE_LINK 1057
#define IDC_VERSION 1058
#define IDC_HOME_PAGE_CAPTION 1081
#define IDC_EMAIL_CAPTION 1085

// Progress window of a long run (IDD_PROGRESS). Its Cancel button is IDCANCEL.
#define IDC_PROGRESS_COUNT 1100
#define IDC_PROGRESS_BAR 1101
#define IDC_PROGRESS_TIME 1102

// Menu commands of menu IDR_MAIN_MENU beyond the buttons' ids.
#define IDM_EXIT 32771
#define IDM_ABOUT 32772
#define IDM_HOME_PAGE 32806
#define IDM_DOWNLOAD 32807
#define IDM_FEEDBACK 32810
// Checkable: draw from the system's secure random source instead of the 15-bit generator.
#define IDM_SECURE_RANDOM 32811
// Checkable: each password holds a character of every ticked set.
#define IDM_EVERY_TICKED_SET 32812
