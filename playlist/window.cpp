// The playlist window: a modeless dialog of owner-drawn rows with the list's
// commands in its menu. There is one; asking for it again brings it back.
#include <windows.h>
#include <shellapi.h>
#include <wchar.h>

#include "../app/fault_guard.h"
#include "../media/radio_parse.h"
#include "../ui/ui.h"
#include "playlist.h"

HWND g_playlist_window;

namespace {

// A row, its icon and the text's indent at 96 DPI, drawn at the viewer's scale.
const int ROW_HEIGHT = 24, ICON_SIZE = 16, ICON_INSET = 4;
int px(int v) { return ui_px(v, g_ui_scale); }

HWND list_of(HWND dialog) { return GetDlgItem(dialog, IDC_PLAYLIST_LIST); }

// What a row shows, into out (count characters): a station by the title its
// list gave it, else by its whole address; a file by its name, the real one
// of a file opened by its short name.
void row_name(const char* path, WCHAR* out, size_t count) {
    char title[PLIST_TITLE_SIZE];
    WCHAR real[PLIST_PATH_SIZE * 2];
    const char* shown = plist_name_part(path);
    if (media_is_url(path)) {
        shown = plist_title_of(path, title, sizeof title) && title[0] ? title : path;
    } else if (app_shown_name(path, real, PLIST_PATH_SIZE * 2)) {
        const WCHAR* slash = wcsrchr(real, '\\');
        lstrcpynW(out, slash ? slash + 1 : real, static_cast<int>(count));
        return;
    }
    if (!MultiByteToWideChar(CP_ACP, 0, shown, -1, out, static_cast<int>(count))) out[0] = 0;
}

void refresh_list(HWND dialog) {
    HWND list = list_of(dialog);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    SendMessageA(list, LB_INITSTORAGE, plist_count(), plist_count() * 16);
    // Each row holds the name it shows: what a screen reader reads from the
    // list is what is seen.
    char path[PLIST_PATH_SIZE];
    for (int i = 0; plist_get(path, sizeof path, i); i++) {
        WCHAR name[PLIST_PATH_SIZE * 2];
        row_name(path, name, PLIST_PATH_SIZE * 2);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, FALSE);
}

COLORREF row_colour(int index, bool selected) {
    bool current = index == plist_get_current(nullptr, 0);
    if (current) return selected ? RGB(192, 160, 255) : RGB(255, 192, 192);
    if (selected) return RGB(160, 160, 255);
    return index % 2 ? RGB(231, 231, 231) : RGB(255, 255, 255);
}

BOOL on_draw_item(const DRAWITEMSTRUCT* item) {
    if (static_cast<int>(item->itemID) < 0) return FALSE;
    if (!(item->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) return TRUE;  // never a focus rectangle
    int index = static_cast<int>(item->itemID);
    bool selected = (item->itemState & ODS_SELECTED) != 0;
    HDC dc = item->hDC;
    RECT r = item->rcItem;
    HBRUSH brush = CreateSolidBrush(row_colour(index, selected));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    bool current = index == plist_get_current(nullptr, 0);
    HICON icon = static_cast<HICON>(
        LoadImageA(g_instance, MAKEINTRESOURCEA(current ? IDI_ENTRY_CURRENT : IDI_ENTRY), IMAGE_ICON, px(ICON_SIZE),
                   px(ICON_SIZE), 0));
    if (icon) {
        DrawIconEx(dc, r.left + px(ICON_INSET), r.top + px(ICON_INSET), icon, px(ICON_SIZE), px(ICON_SIZE), 0, nullptr,
                   DI_NORMAL);
        DestroyIcon(icon);
    }
    HFONT font = ui_create_font("Arial", selected ? 17 : 13, 1, 0, 0, 0, 0);
    HGDIOBJ old = SelectObject(dc, font);
    char path[PLIST_PATH_SIZE];
    if (plist_get(path, sizeof path, index)) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, selected ? RGB(0, 0, 0) : RGB(64, 64, 128));
        RECT text = r;
        text.left += px(ICON_SIZE + 2 * ICON_INSET);
        WCHAR name[PLIST_PATH_SIZE * 2];
        row_name(path, name, PLIST_PATH_SIZE * 2);
        DrawTextW(dc, name, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SelectObject(dc, old);
    DeleteObject(font);
    return TRUE;
}

BOOL on_measure_item(MEASUREITEMSTRUCT* item) {
    item->itemHeight = static_cast<int>(item->itemID) == -1 ? GetSystemMetrics(SM_CYVSCROLL) : px(ROW_HEIGHT);
    return TRUE;
}

// The selected rows, in ascending order, into a table with room for every row.
int g_rows[PLAYLIST_CAPACITY];

int selected_rows(HWND dialog, int* rows) {
    LRESULT n = SendMessageA(list_of(dialog), LB_GETSELITEMS, PLAYLIST_CAPACITY, reinterpret_cast<LPARAM>(rows));
    return n > 0 ? static_cast<int>(n) : 0;
}

void play_selected(HWND dialog) {
    int* rows = g_rows;
    int n = selected_rows(dialog, rows);
    if (n == 0) return;
    int first = rows[0];
    for (int i = 1; i < n; i++) first = rows[i] < first ? rows[i] : first;
    ui_play_entry(first);
    SendMessageA(dialog, PLIST_WM_REPAINT, 0, 0);
}

void remove_selected(HWND dialog) {
    int n = selected_rows(dialog, g_rows);
    if (n && plist_remove_rows(g_rows, n)) SendMessageA(dialog, PLIST_WM_REFRESH, 0, 0);
}

// The list changed: the rows are rebuilt.
void changed(HWND dialog) { SendMessageA(dialog, PLIST_WM_REFRESH, 0, 0); }

void on_command(HWND dialog, int id, int notification) {
    switch (id) {
    case CMD_PLAY_SELECTED: play_selected(dialog); break;
    case CMD_ADD_FILES: plist_open_dialog(dialog, true); changed(dialog); break;
    case CMD_REMOVE: remove_selected(dialog); break;
    case CMD_CLEAR: plist_clear(); changed(dialog); break;
    case CMD_SORT_BY_NAME: plist_arrange(PLIST_SORT_BY_NAME); changed(dialog); break;
    case CMD_RANDOMIZE: plist_arrange(PLIST_RANDOMIZE); changed(dialog); break;
    case CMD_SAVE_PLAYLIST: plist_save_dialog(dialog); EndDialog(dialog, CMD_SAVE_PLAYLIST); break;
    case IDC_PLAYLIST_LIST: if (notification == LBN_DBLCLK) SendMessageA(dialog, WM_COMMAND, CMD_PLAY_SELECTED, 0); break;
    case IDOK: play_selected(dialog); break;  // Enter, where the platform turns it into IDOK
    case IDCANCEL: EndDialog(dialog, id); break;
    }
}

// Keys typed in the list: Delete removes the selected rows, Enter plays the
// first of them and Escape closes the window; the list handles the others.
int on_list_key(HWND dialog, int key) {
    switch (key) {
    case VK_DELETE: remove_selected(dialog); return -2;
    case VK_RETURN: play_selected(dialog); return -2;
    case VK_ESCAPE: EndDialog(dialog, IDCANCEL); return -2;
    }
    return -1;
}

// The characters those keys type come to the window too: left unanswered,
// the list would take them for "go to the first row" and stretch the choice
// up to it. Letters keep the list's own search by first letter.
int on_list_char(WCHAR c) { return c < 32 ? -2 : -1; }

void on_drop(HWND dialog, HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; i++) {
        WCHAR path[PLIST_PATH_SIZE];
        if (DragQueryFileW(drop, i, nullptr, 0) > PLIST_PATH_MAX) continue;  // never cut into another name
        if (DragQueryFileW(drop, i, path, PLIST_PATH_SIZE)) plist_add_wide_path(path);
    }
    DragFinish(drop);
    SendMessageA(dialog, PLIST_WM_REFRESH, 0, 0);
    plist_progress_hide();
}

void on_init(HWND dialog) {
    // Also set here: the list asks for its row height while the dialog is
    // still being made, and not every platform passes that question on.
    SendMessageA(list_of(dialog), LB_SETITEMHEIGHT, 0, px(ROW_HEIGHT));
    ui_center_window(dialog, g_viewer_window);
    SetWindowTextA(dialog, "Playlist | " UI_TITLE);
    SendMessageA(dialog, PLIST_WM_REFRESH, 0, 0);
}

void on_size(HWND dialog) {
    RECT r;
    GetClientRect(dialog, &r);
    SetWindowPos(list_of(dialog), nullptr, 0, 0, r.right, r.bottom, SWP_NOZORDER);
}

LRESULT CALLBACK playlist_dialog_body(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: on_init(dialog); return TRUE;
    case WM_SIZE: on_size(dialog); return 0;
    case WM_SIZING: return ui_clamp_sizing(reinterpret_cast<RECT*>(lparam), 100, 100, UI_SIZE_ANY, UI_SIZE_ANY);
    case WM_MEASUREITEM: return on_measure_item(reinterpret_cast<MEASUREITEMSTRUCT*>(lparam));
    case WM_DRAWITEM: return on_draw_item(reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    case WM_DROPFILES: on_drop(dialog, reinterpret_cast<HDROP>(wparam)); return 0;
    case WM_COMMAND: on_command(dialog, LOWORD(wparam), HIWORD(wparam)); return TRUE;
    case WM_VKEYTOITEM: return on_list_key(dialog, LOWORD(wparam));
    case WM_CHARTOITEM: return on_list_char(LOWORD(wparam));
    case PLIST_WM_REFRESH: refresh_list(dialog); return 0;
    case PLIST_WM_REPAINT: InvalidateRect(list_of(dialog), nullptr, FALSE); return 0;
    case WM_DESTROY: if (g_playlist_window == dialog) g_playlist_window = nullptr; return 0;
    }
    return FALSE;
}

}  // namespace

HWND plist_create_window(HWND owner) {
    if (g_playlist_window && IsWindow(g_playlist_window)) {
        SendMessageA(g_playlist_window, PLIST_WM_REFRESH, 0, 0);
        ShowWindow(g_playlist_window, SW_SHOW);
        SetForegroundWindow(g_playlist_window);
        return g_playlist_window;
    }
    // A window of UTF-16 text, so its rows can hold any real name.
    return CreateDialogParamW(g_instance, MAKEINTRESOURCEW(UI_DIALOG_PLAYLIST), owner,
                              app_guarded_dialog<playlist_dialog_body>, 0);
}
