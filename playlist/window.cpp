// The playlist window: a modeless dialog listing the name part of every entry.
#include "../app/fault_guard.h"
#include "../ui/ui.h"
#include "playlist.h"

HWND g_playlist_window;

namespace {

void refresh_list(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_PLAYLIST_LIST);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    char path[PLIST_PATH_SIZE];
    for (int i = 0; plist_get(path, sizeof path, i); i++)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(plist_name_part(path)));
    InvalidateRect(list, nullptr, FALSE);
}

LRESULT CALLBACK playlist_dialog_body(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        ui_center_window(dialog, g_viewer_window);
        SetWindowTextA(dialog, "Playlist | " UI_TITLE);
        SendMessageA(dialog, PLIST_WM_REFRESH, 0, 0);
        return TRUE;
    case WM_SIZE: {
        RECT r;
        GetClientRect(dialog, &r);
        SetWindowPos(GetDlgItem(dialog, IDC_PLAYLIST_LIST), nullptr, 0, 0, r.right, r.bottom, SWP_NOZORDER);
        return 0;
    }
    case PLIST_WM_REFRESH:
        refresh_list(dialog);
        return 0;
    case PLIST_WM_REPAINT:
        InvalidateRect(GetDlgItem(dialog, IDC_PLAYLIST_LIST), nullptr, FALSE);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    (void)lparam;
    return FALSE;
}

}  // namespace

HWND plist_create_window(HWND owner) {
    return CreateDialogParamA(g_instance, MAKEINTRESOURCEA(UI_DIALOG_PLAYLIST), owner,
                              app_guarded_dialog<playlist_dialog_body>, 0);
}
