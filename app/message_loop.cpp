#include "app.h"
#include "fault_guard.h"

HINSTANCE g_instance;

namespace {

void dispatch_and_receive(void* context) {
    MSG* msg = static_cast<MSG*>(context);
    TranslateMessage(msg);
    DispatchMessageA(msg);
    app_handoff_receive();
}

}  // namespace

int app_dispatch_message(MSG* msg) { return app_run_guarded(dispatch_and_receive, msg); }

void app_message_loop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) app_dispatch_message(&msg);
}
