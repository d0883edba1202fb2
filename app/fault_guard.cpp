// The compiler offers no structured-exception blocks, so guards are built from
// a vectored handler and a per-thread chain of jump buffers. The handler never
// jumps itself: it points the faulting thread at a small recovery routine and
// lets the system resume it, so the exception dispatch ends cleanly first.
//
// Only faults whose instruction lies in this program's own image are taken.
// Faults inside system code are left to the system's own handlers, and so a
// jump never crosses a system callback (window procedures are guarded at their
// own entry, so the innermost guard always sits on the same side).
#include "fault_guard.h"

namespace {

struct GuardFrame {
    void* jump[5];  // __builtin_setjmp buffer
    GuardFrame* outer;
    bool whole_thread;  // also takes faults raised in system code beneath it
    void* exception_list;  // the thread's handler chain as the guard found it
};

// On i686 the thread's handler chain (fs:[0]) lies on its stack: a fault in
// system code beneath a guard leaves it naming frames of the stack the
// recovery abandons, and the next fault on the thread would walk them.
void* exception_list() {
#if defined(__i386__)
    void* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
#else
    return nullptr;
#endif
}

void set_exception_list(void* head) {
#if defined(__i386__)
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
#else
    (void)head;
#endif
}

volatile LONG g_guard_state;  // 0 not installed, 1 installing, 2 ready
DWORD g_guard_tls = TLS_OUT_OF_INDEXES;
ULONG_PTR g_image_start, g_image_end;

bool is_hardware_fault(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
        return true;
    default:
        return false;  // stack overflow included: no stack is left to recover on
    }
}

__attribute__((noinline, noreturn)) void guard_recover() {
    GuardFrame* frame = static_cast<GuardFrame*>(TlsGetValue(g_guard_tls));
    __builtin_longjmp(frame->jump, 1);
}

// Resume in guard_recover on the faulting stack, aligned as after a call.
LONG resume_in_recovery(CONTEXT* c) {
#if defined(_WIN64)
    c->Rsp = ((c->Rsp - 512) & ~static_cast<DWORD64>(15)) - 8;
    c->Rip = reinterpret_cast<DWORD64>(&guard_recover);
#else
    c->Esp = ((c->Esp - 512) & ~static_cast<DWORD>(15)) - 4;
    c->Eip = reinterpret_cast<DWORD>(&guard_recover);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

LONG CALLBACK guard_vectored_handler(EXCEPTION_POINTERS* info) {
    if (!is_hardware_fault(info->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    ULONG_PTR at = reinterpret_cast<ULONG_PTR>(info->ExceptionRecord->ExceptionAddress);
    if (at < g_image_start || at >= g_image_end) return EXCEPTION_CONTINUE_SEARCH;
    if (!TlsGetValue(g_guard_tls)) return EXCEPTION_CONTINUE_SEARCH;
    return resume_in_recovery(info->ContextRecord);
}

bool whole_thread_guarded() {
    for (GuardFrame* f = static_cast<GuardFrame*>(TlsGetValue(g_guard_tls)); f; f = f->outer)
        if (f->whole_thread) return true;
    return false;
}

// Whatever escapes every guard ends the process quietly with exit code 0,
// but a fault in system code that nothing there handled, on a thread whose
// body is guarded as a whole, takes that thread's failure path instead.
LONG WINAPI guard_last_chance(EXCEPTION_POINTERS* info) {
    if (g_guard_tls != TLS_OUT_OF_INDEXES && is_hardware_fault(info->ExceptionRecord->ExceptionCode) &&
        whole_thread_guarded())
        return resume_in_recovery(info->ContextRecord);
    ExitProcess(0);
    return EXCEPTION_EXECUTE_HANDLER;
}

void find_own_image() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&find_own_image), &module);
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    g_image_start = reinterpret_cast<ULONG_PTR>(base);
    g_image_end = g_image_start + nt->OptionalHeader.SizeOfImage;
}

struct CallArgs {
    WNDPROC body;
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    LRESULT result;
};

// The paint begun on this thread and not yet ended, kept by value: after a
// fault the handler's own copy lies on an abandoned stack.
struct OpenPaint {
    HWND window;
    PAINTSTRUCT ps;
    bool open;
};
thread_local OpenPaint g_open_paint;

void call_body(void* context) {
    CallArgs* a = static_cast<CallArgs*>(context);
    a->result = a->body(a->window, a->message, a->wparam, a->lparam);
}

}  // namespace

void app_guard_install() {
    if (g_guard_state == 2) return;
    if (InterlockedCompareExchange(&g_guard_state, 1, 0) == 0) {
        find_own_image();
        g_guard_tls = TlsAlloc();
        AddVectoredExceptionHandler(1, guard_vectored_handler);
        SetUnhandledExceptionFilter(guard_last_chance);
        InterlockedExchange(&g_guard_state, 2);
    }
    while (g_guard_state != 2) Sleep(0);
}

namespace {

__attribute__((noinline)) int run_guarded(app_guarded_proc proc, void* context, bool whole_thread) {
    app_guard_install();
    GuardFrame frame;
    frame.whole_thread = whole_thread;
    frame.outer = static_cast<GuardFrame*>(TlsGetValue(g_guard_tls));
    frame.exception_list = exception_list();
    if (__builtin_setjmp(frame.jump)) {
        set_exception_list(frame.exception_list);
        TlsSetValue(g_guard_tls, frame.outer);
        return 0;
    }
    TlsSetValue(g_guard_tls, &frame);
    proc(context);
    TlsSetValue(g_guard_tls, frame.outer);
    return 1;
}

}  // namespace

int app_run_guarded(app_guarded_proc proc, void* context) { return run_guarded(proc, context, false); }

int app_run_guarded_whole(app_guarded_proc proc, void* context) { return run_guarded(proc, context, true); }

LRESULT app_call_guarded(WNDPROC body, HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                         LRESULT on_fault) {
    CallArgs a = {body, window, message, wparam, lparam, on_fault};
    if (app_run_guarded(call_body, &a)) return a.result;
    if (g_open_paint.open && g_open_paint.window == window) app_end_paint(window, &g_open_paint.ps);
    if (message == WM_PAINT) ValidateRect(window, nullptr);  // else it would paint, and fault, forever
    return on_fault;
}

HDC app_begin_paint(HWND window, PAINTSTRUCT* ps) {
    HDC dc = BeginPaint(window, ps);
    g_open_paint = {window, *ps, true};
    return dc;
}

void app_end_paint(HWND window, PAINTSTRUCT* ps) {
    g_open_paint.open = false;
    EndPaint(window, ps);
}
