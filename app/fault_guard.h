// Fault guards: run a procedure so that a hardware fault inside it (a bad
// pointer, a division by zero) abandons the procedure instead of the process.
#pragma once
#include <windows.h>

typedef void (*app_guarded_proc)(void* context);

// Installs the process-wide handlers once; every guard calls it itself.
void app_guard_install();

// Runs proc(context). Returns 1 when it ran to its end, 0 when a fault in
// this program's code cut it short. Guards nest; the innermost one catches.
int app_run_guarded(app_guarded_proc proc, void* context);
// The same for a thread's whole body: a fault in system code beneath it that
// the system did not handle itself cuts it short too.
int app_run_guarded_whole(app_guarded_proc proc, void* context);

// A window or dialog procedure run under a guard; a fault yields on_fault.
LRESULT app_call_guarded(WNDPROC body, HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                         LRESULT on_fault);

// BeginPaint and EndPaint for guarded window procedures: a fault between
// them still ends the paint (no paint left pending, no device context left).
HDC app_begin_paint(HWND window, PAINTSTRUCT* ps);
void app_end_paint(HWND window, PAINTSTRUCT* ps);

// The one form of every window and dialog procedure: the body runs under a
// guard, so a fault in one message costs that message only:
//   const WNDPROC ui_x_proc = app_guarded_window<x_body>;
//   CreateDialogParamA(..., app_guarded_dialog<x_body>, 0);
template <WNDPROC Body, LRESULT OnFault = 0>
LRESULT CALLBACK app_guarded_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return app_call_guarded(Body, window, message, wparam, lparam, OnFault);
}

// A faulting dialog message reports "not handled" (FALSE).
template <WNDPROC Body>
INT_PTR CALLBACK app_guarded_dialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    return static_cast<INT_PTR>(app_call_guarded(Body, dialog, message, wparam, lparam, FALSE));
}
