// Identifiers shared by the resource scripts and the code, grouped by where they are used.
#ifndef LINTARO_RESOURCES_RESOURCE_IDS_H
#define LINTARO_RESOURCES_RESOURCE_IDS_H

// Command ids: menu bar, context menu, accelerators and toolbar all send these.
#define IDM_ABOUT              181
#define IDM_EXIT               191
#define IDM_VISIBLE_COLUMNS    201
#define IDM_NATURAL_WIDTHS     202
#define IDM_TABLE_APPEARANCE   211
#define IDM_COLUMN_APPEARANCE  212
#define IDM_SORT               222
#define IDM_FILTER             223
#define IDM_RESTORE_ROWS       224
#define IDM_CHOOSE_FONT        291
#define IDM_PRINT              301
#define IDM_PRINT_SETUP        302
#define IDM_EXPORT             311

// The About box ("About"); its button is IDOK.
#define IDC_ABOUT_FRAME        1101
#define IDC_ABOUT_ICON         1102
#define IDC_ABOUT_NAME         1103
#define IDC_ABOUT_VERSION      1104
#define IDC_ABOUT_PURPOSE      1105
#define IDC_ABOUT_PURPOSE_MORE 1106

// "TableProperties": table appearance. Buttons IDOK and IDCANCEL.
#define IDC_TABLE_BOLD_HEADER       101
#define IDC_TABLE_COLUMN_NUMBERS    102
#define IDC_TABLE_ROW_LINES         103
#define IDC_TABLE_GRAY_HEADER       104
#define IDC_TABLE_LINE_TYPE         111
#define IDC_TABLE_CELL_HEIGHT       112
#define IDC_TABLE_PAGE_NUMBERS      121
#define IDC_TABLE_NUMBER_FIRST_PAGE 131
#define IDC_TABLE_TITLES_EACH_PAGE  132
#define IDC_TABLE_HEADER_EACH_PAGE  133
#define IDC_TABLE_FOOTER_EACH_PAGE  134
#define IDC_TABLE_PRINT_DATE        135
#define IDC_TABLE_PAGE_NUMBER_STYLE 141
#define IDC_TABLE_KEY_COLUMNS       142
#define IDC_TABLE_FIT_TO_WIDTH      143
#define IDC_TABLE_SUM_FRAME         150
#define IDC_TABLE_END_TOTAL         151
#define IDC_TABLE_PAGE_TOTALS       152
#define IDC_TABLE_BROUGHT_FORWARD   153
#define IDC_TABLE_GROUP_TOTALS      154

// "ColumnProperties": column appearance. Buttons IDOK and IDCANCEL.
#define IDC_COLUMN_LIST             101
#define IDC_COLUMN_TITLE            111
#define IDC_COLUMN_ALIGNMENT        121
#define IDC_COLUMN_BOLD             131
#define IDC_COLUMN_TEXT_FLOW        132
#define IDC_COLUMN_LINE_LIMIT       133
#define IDC_COLUMN_ABBREVIATE       134
#define IDC_COLUMN_SUM              135

// "VisibleColumns": the columns the table shows. Buttons IDOK and IDCANCEL.
#define IDC_VISIBLE_COLUMNS_LIST    101
#define IDC_VISIBLE_COLUMNS_ALL     701
#define IDC_VISIBLE_COLUMNS_NONE    702

// "Sort": key column, order and data type. Buttons IDOK and IDCANCEL.
#define IDC_SORT_COLUMN             101
#define IDC_SORT_ORDER              102
#define IDC_SORT_DATA_TYPE          103

// "Filter": tested column, inclusive range and data type. Buttons IDOK and IDCANCEL.
#define IDC_FILTER_COLUMN           101
#define IDC_FILTER_FROM             111
#define IDC_FILTER_TO               112
#define IDC_FILTER_DATA_TYPE        121

// "PrintSetup": where printing goes, paper and margins, dot-matrix options. Buttons IDOK and
// IDCANCEL.
#define IDC_PRINT_SETUP_TARGET      101
#define IDC_PRINT_SETUP_PRINTERS    111
#define IDC_PRINT_SETUP_WIDTH       201
#define IDC_PRINT_SETUP_LEFT        202
#define IDC_PRINT_SETUP_RIGHT       203
#define IDC_PRINT_SETUP_HEIGHT      204
#define IDC_PRINT_SETUP_TOP         205
#define IDC_PRINT_SETUP_BOTTOM      206
#define IDC_PRINT_SETUP_ORIENTATION 211
#define IDC_PRINT_SETUP_UNITS       221
#define IDC_PRINT_SETUP_MODEL       301
#define IDC_PRINT_SETUP_MODE        302
#define IDC_PRINT_SETUP_MANUAL_FEED 303
#define IDC_PRINT_SETUP_DOS_CYRILLIC 304

// "PagesToPrint": pages, subset, column groups and copies. Buttons IDOK and IDCANCEL.
#define IDC_PAGES_FROM              101
#define IDC_PAGES_TO                102
#define IDC_PAGES_SUBSET            111
#define IDC_PAGES_GROUP_FROM        121
#define IDC_PAGES_GROUP_TO          122
#define IDC_PAGES_COPIES            131
#define IDC_PAGES_ONE_JOB           141

// "ExportTable": output file, format and code table. Buttons IDOK and IDCANCEL.
#define IDC_EXPORT_PATH             101
#define IDC_EXPORT_FORMAT           102
#define IDC_EXPORT_CODE_TABLE       103
#define IDC_EXPORT_CHOOSE_FILE      703

// "WorkProgress": the modeless window of long work. Its button is IDCANCEL.
#define IDC_PROGRESS_WHAT           101
#define IDC_PROGRESS_COUNT          102
#define IDC_PROGRESS_BAR            103

// The grid's child-window identifier inside the main window.
#define IDC_GRID               1001

#endif
