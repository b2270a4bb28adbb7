// The menu bar comes from the resources; the context menu is built here, once per run.
#include "app/menus_win32.h"

#include "resources/resource_ids.h"

namespace {

HMENU context_menu = nullptr;

struct ContextItem {
    UINT command_id;  // 0: a separator
    const char* text;
};

// The commands a right click on the table offers; the shortcut texts stay on the menu bar.
const ContextItem kContextItems[] = {
    {IDM_VISIBLE_COLUMNS, "Видими колони..."},
    {IDM_NATURAL_WIDTHS, "Естествени ширини"},
    {IDM_TABLE_APPEARANCE, "Оформление на таблицата..."},
    {IDM_COLUMN_APPEARANCE, "Оформление на колоните..."},
    {0, nullptr},
    {IDM_PRINT, "Отпечатване..."},
};

}  // namespace

bool AttachApplicationMenu(HWND main_window) {
    const auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(main_window, GWLP_HINSTANCE));
    HMENU menu = LoadMenuA(module, "ApplicationMenu");
    if (menu == nullptr) return false;
    if (!SetMenu(main_window, menu)) {
        DestroyMenu(menu);
        return false;
    }
    return true;
}

bool CreateContextMenu() {
    if (context_menu != nullptr) return true;
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return false;
    for (const ContextItem& item : kContextItems) {
        const BOOL added = item.command_id == 0
                               ? AppendMenuA(menu, MF_SEPARATOR, 0, nullptr)
                               : AppendMenuA(menu, MF_STRING, item.command_id, item.text);
        if (!added) {
            DestroyMenu(menu);
            return false;
        }
    }
    context_menu = menu;
    return true;
}

void ShowContextMenu(HWND main_window, LPARAM client_point) {
    if (context_menu == nullptr) return;
    POINT point = {static_cast<LONG>(LOWORD(client_point)), static_cast<LONG>(HIWORD(client_point))};
    ClientToScreen(main_window, &point);
    TrackPopupMenuEx(context_menu, 0, point.x, point.y, main_window, nullptr);
}

void DestroyContextMenu() {
    if (context_menu != nullptr) DestroyMenu(context_menu);
    context_menu = nullptr;
}
