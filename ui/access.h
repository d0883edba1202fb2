// What assistive technology reads of the windows we draw ourselves: an
// accessible object (Active Accessibility) for the strip, with a child for
// each control, and plain ones for the viewer and the About box.
#pragma once
#include <windows.h>
#include <stddef.h>

// The strip's children, numbered from 1 in the order of its layout table:
// fourteen buttons, then the seek bar, the volume bar and the text area.
#define UI_STRIP_BUTTONS 14
#define UI_STRIP_SEEK 15
#define UI_STRIP_VOLUME 16
#define UI_STRIP_TEXT 17
#define UI_STRIP_CHILDREN 17

// What the strip answers about its children (child 1 to UI_STRIP_CHILDREN).
struct UiStripChild {
    RECT rect;          // in the strip's client pixels
    WCHAR name[280];
    WCHAR value[64];    // empty for a button or the text
};
bool ui_strip_child(int child, UiStripChild* out);
// The child under a point of the strip's client area, 0 for none.
int ui_strip_child_at(POINT client);
// The child with the keyboard focus mark, 0 for none.
int ui_strip_focus();
void ui_strip_set_focus(int child);
// A button pressed as a click would; false for a child that is no button.
bool ui_strip_press(int child);
// A slider set from a text its value reads as; false when the text is not one.
bool ui_strip_set_value(int child, const WCHAR* value);
// The keyboard's way in from the viewer: the strip takes the focus, its mark
// on the first control (or the last); 0 while the strip is hidden.
int ui_strip_enter(bool from_the_end);

// The answer to WM_GETOBJECT for each window; DefWindowProc's for the ids
// other than the client's.
LRESULT ui_strip_get_object(HWND strip, WPARAM wparam, LPARAM lparam);
// The viewer and the About box: a client object with no children, named by
// the window's title and what text describe gives (either may be null).
typedef void (*UiDescribeFn)(WCHAR* out, size_t count);
LRESULT ui_plain_get_object(HWND window, WPARAM wparam, LPARAM lparam, UiDescribeFn name_extra,
                            UiDescribeFn description);

#include "access_text.h"
