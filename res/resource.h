// Identifiers shared by the resource script and the code.
#pragma once

#define IDD_MAIN            1
#define IDI_MAIN            1
#define IDD_FIND            2   // the find dialog, with the system's control ids

// Controls of the main dialog.
#define IDC_PATH            10
#define IDC_BROWSE          11
#define IDC_TABS            12
#define IDC_LIST_IMPORTS    20
#define IDC_LIST_DELAY      21
#define IDC_LIST_EXPORTS    22
#define IDC_LIST_SECTIONS   23
#define IDC_LIST_SUMMARY    24
#define IDC_LIST_VERSION    25
#define IDC_LIST_STRINGS    26
#define IDC_LIST_FIRST      IDC_LIST_IMPORTS
#define IDC_LIST_LAST       IDC_LIST_STRINGS

// String table. Tab k is captioned by IDS_TAB_FIRST + k.
#define IDS_TAB_FIRST       2
#define IDS_TAB_IMPORTS     2
#define IDS_TAB_DELAY       3
#define IDS_TAB_EXPORTS     4
#define IDS_TAB_SECTIONS    5
#define IDS_TAB_SUMMARY     6
#define IDS_TAB_VERSION     7
#define IDS_TAB_STRINGS     8
#define IDS_COL_NUMBER      11
#define IDS_COL_NAME        12
#define IDS_COL_SIZE        13
#define IDS_COL_RAWSIZE     14
#define IDS_COL_ATTRIBUTES  15
// Labels of the fourteen header-summary rows, row r is IDS_SUMMARY_FIRST + r.
#define IDS_SUMMARY_FIRST   16
#define IDS_SUMMARY_LAST    29
#define IDS_LANGUAGE        32
// Labels of the twelve standard version keys, in key order.
#define IDS_VERKEY_FIRST    33
#define IDS_VERKEY_LAST     44
#define IDS_KIND_EXE        48   // +1 for a DLL
#define IDS_KIND_DLL        49
#define IDS_PROGRAM_GUI     50   // +1 for anything but the GUI subsystem
#define IDS_PROGRAM_TEXT    51
#define IDS_TOTAL           52
#define IDS_OPEN_FILTER     53
#define IDS_FIND_MISSING    54   // the caption's note after a search that found nothing

// The dependency walk's tips on the import lists. How a library is found:
// IDS_FOUND_FIRST + its step of the search (as the loader's FoundBy counts
// them), the last being "not found".
#define IDS_FOUND_FIRST     64
#define IDS_FOUND_LAST      74
#define IDS_TIP_PASSED_OVER 75   // not found, but a file of another machine was passed over
#define IDS_TIP_LACKS       76   // what is missing below a library, and who needs it
#define IDS_TIP_FUNCTION_IN 77   // a function and its library
#define IDS_TIP_ORDINAL     78
#define IDS_TIP_NOT_EXPORTED 79
#define IDS_TIP_FORWARD_MISSING 80
#define IDS_TIP_BAD_FORWARDER 81
#define IDS_TIP_DELAY       82   // what a mark in the delay-imports list means
// The caption's verdict: prefix, then the counts joined.
#define IDS_VERDICT_PREFIX  83
#define IDS_VERDICT_JOIN    84
#define IDS_VERDICT_LIBRARY 85   // +1 for more than one
#define IDS_VERDICT_LIBRARIES 86
#define IDS_VERDICT_FUNCTION 87  // +1 for more than one
#define IDS_VERDICT_FUNCTIONS 88
