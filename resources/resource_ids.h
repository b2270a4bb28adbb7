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

// The grid's child-window identifier inside the main window.
#define IDC_GRID               1001

#endif
