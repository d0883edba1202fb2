// A fault inside a dispatched message must leave the message loop running.
#include <gtest/gtest.h>

#include "../../app/app.h"
#include "../../app/fault_guard.h"
#include "../../ui/ui.h"
#include "../e2e/e2e.h"

namespace {

volatile int* g_null_pointer;
int g_messages_after_fault;

LRESULT CALLBACK faulting_body(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_APP) *g_null_pointer = 1;
    if (message == WM_APP + 1) g_messages_after_fault++;
    if (message == WM_APP + 2) {
        volatile int zero = 0;
        g_messages_after_fault += 10 / zero;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

void write_through_null(void*) { *g_null_pointer = 2; }
void nested(void* result) {
    *static_cast<int*>(result) = app_run_guarded(write_through_null, nullptr);
}

}  // namespace

TEST(FaultGuard, FaultsEndOnlyTheGuardedCall) {
    int inner = -1;
    EXPECT_EQ(app_run_guarded(nested, &inner), 1);  // the inner guard caught it
    EXPECT_EQ(inner, 0);
    for (int i = 0; i < 1000; i++) ASSERT_EQ(app_run_guarded(write_through_null, nullptr), 0);

    // Guarded as the program's own windows are.
    HWND window = e2e_test_window("fault_guard_test", app_guarded_window<faulting_body, 77>, WS_POPUP, 10, 10);
    ASSERT_TRUE(window);

    EXPECT_EQ(SendMessageA(window, WM_APP, 0, 0), 77);
    PostMessageA(window, WM_APP, 0, 0);
    PostMessageA(window, WM_APP + 2, 0, 0);
    PostMessageA(window, WM_APP + 1, 0, 0);
    PostMessageA(window, WM_QUIT, 0, 0);
    MSG msg;
    int dispatched = 0;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        app_dispatch_message(&msg);
        dispatched += msg.hwnd == window;  // not what earlier tests' windows left in the queue
    }
    EXPECT_EQ(dispatched, 3);
    EXPECT_EQ(g_messages_after_fault, 1);
    DestroyWindow(window);

    // The rectangle stores are guarded too: a rectangle that cannot be
    // written gives null, not a crash.
    RECT* bad = reinterpret_cast<RECT*>(static_cast<uintptr_t>(16));
    EXPECT_EQ(ui_rect_set(bad, 0, 0, 1, 1), nullptr);
    EXPECT_EQ(ui_rect_inflate(bad, 1, 1), nullptr);
    EXPECT_EQ(ui_rect_set(nullptr, 0, 0, 1, 1), nullptr);
}

namespace {
void fault_in_system_code(void*) {
    typedef void(WINAPI * Move)(void*, const void*, SIZE_T);
    Move move = reinterpret_cast<Move>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "RtlMoveMemory")));
    move(nullptr, reinterpret_cast<void*>(16), 64);
}
#if defined(__i386__)
// As a decoder does: a handler frame of its own on the thread's exception
// list, which lets the fault pass on.
struct HandlerFrame {
    HandlerFrame* next;
    void* handler;
};
EXCEPTION_DISPOSITION __cdecl pass_on(EXCEPTION_RECORD*, void*, CONTEXT*, void*) { return ExceptionContinueSearch; }
void fault_beneath_a_handler_frame(void* context) {
    HandlerFrame frame;
    asm volatile("movl %%fs:0, %0" : "=r"(frame.next));
    frame.handler = reinterpret_cast<void*>(pass_on);
    asm volatile("movl %0, %%fs:0" : : "r"(&frame) : "memory");
    fault_in_system_code(context);
    asm volatile("movl %0, %%fs:0" : : "r"(frame.next) : "memory");
}
#else
void fault_beneath_a_handler_frame(void* context) { fault_in_system_code(context); }
#endif
// Whatever the abandoned stack held is written over, as the next calls do.
__attribute__((noinline)) void overwrite_stack() {
    volatile unsigned char scratch[16384];
    for (size_t i = 0; i < sizeof scratch; i++) scratch[i] = 0xEE;
}
DWORD WINAPI guarded_thread(void* result) {
    int first = app_run_guarded_whole(fault_beneath_a_handler_frame, nullptr);
    overwrite_stack();
    int second = app_run_guarded_whole(fault_in_system_code, nullptr);
    *static_cast<int*>(result) = first * 10 + second;
    return 0;
}
}  // namespace

// A thread guarded as a whole survives a fault inside a system library, as the
// media thread must when a decoder faults beneath it, and a second one after
// it (its teardown calls the same decoder); the process goes on.
TEST(FaultGuard, AWholeThreadGuardTakesFaultsInSystemCodeAgainAndAgain) {
    int result = -1;
    HANDLE t = CreateThread(nullptr, 0, guarded_thread, &result, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    CloseHandle(t);
    EXPECT_EQ(result, 0);
}

namespace {
int g_paints;
LRESULT CALLBACK faulting_paint(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_PAINT) return DefWindowProcA(window, message, wparam, lparam);
    // Every other paint faults before it has begun: the region is still
    // pending then, and only the guard can end it.
    if (++g_paints % 2) *g_null_pointer = 3;
    PAINTSTRUCT ps;
    app_begin_paint(window, &ps);
    *g_null_pointer = 4;
    return 0;
}
}  // namespace

// A fault inside a paint ends that paint: nothing is left to repaint, so it
// does not fault again and again.
TEST(FaultGuard, AFaultedPaintLeavesNoPaintPending) {
    HWND window =
        e2e_test_window("faulting_paint_test", app_guarded_window<faulting_paint>, WS_POPUP | WS_VISIBLE, 40, 40);
    ASSERT_TRUE(window);
    for (int round = 0; round < 3; round++) {
        InvalidateRect(window, nullptr, FALSE);
        e2e_pump_until([] { return false; }, 200);
        EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE)) << "round " << round;
    }
    EXPECT_EQ(g_paints, 3);
    DestroyWindow(window);
}
