// The strip as a screen reader meets it: its accessible tree read from this
// process, its controls worked through it and through the keyboard alone.
#include <oleacc.h>

#include <vector>

#include "viewer_steps.h"

namespace {

// The interface's id, written out: the import library's symbol of that name
// is no GUID.
const IID IID_Accessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

VARIANT child(long id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// A text an object gave, which the caller then frees.
std::wstring text_of(HRESULT hr, BSTR* b) {
    std::wstring s = SUCCEEDED(hr) && *b ? std::wstring(*b) : L"";
    SysFreeString(*b);
    return s;
}

std::wstring name(IAccessible* a, long id) {
    BSTR b = nullptr;
    HRESULT hr = a->get_accName(child(id), &b);
    return text_of(hr, &b);
}
std::wstring value(IAccessible* a, long id) {
    BSTR b = nullptr;
    HRESULT hr = a->get_accValue(child(id), &b);
    return text_of(hr, &b);
}
long role(IAccessible* a, long id) {
    VARIANT v;
    VariantInit(&v);
    return SUCCEEDED(a->get_accRole(child(id), &v)) && v.vt == VT_I4 ? v.lVal : -1;
}
long state(IAccessible* a, long id) {
    VARIANT v;
    VariantInit(&v);
    return SUCCEEDED(a->get_accState(child(id), &v)) && v.vt == VT_I4 ? v.lVal : -1;
}

IAccessible* client_object(HWND window) {
    IAccessible* a = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_Accessible,
                                          reinterpret_cast<void**>(&a))))
        return nullptr;
    return a;
}

// The focus events of one process, as an out-of-context hook sees them.
std::vector<std::pair<HWND, long>> g_focus_events;
void CALLBACK on_focus_event(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG id, DWORD, DWORD) {
    if (object == OBJID_CLIENT) g_focus_events.push_back({window, id});
}

class Access : public ::testing::Test {
protected:
    E2eProgram program;
    HWND viewer = nullptr, player = nullptr;
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override {
        if (viewer) close_player(&program, viewer);
        CoUninitialize();
    }
    void start(const char* clip_name) {
        viewer = start_playing(&program, clip(clip_name), 1);
        ASSERT_TRUE(viewer);
        player = e2e_find_window(program.pid, "tavlin_player");
        ASSERT_TRUE(player && e2e_wait_until([&] { return IsWindowVisible(player) != 0; }, 5000));
    }
};

}  // namespace

TEST_F(Access, AReaderFindsEveryControlOfTheStripAndWorksThem) {
    start("long.avi");
    IAccessible* strip_object = client_object(player);
    ASSERT_TRUE(strip_object) << "the strip answers with no accessible object";
    long count = 0;
    EXPECT_EQ(strip_object->get_accChildCount(&count), S_OK);
    ASSERT_EQ(count, 17);
    const wchar_t* buttons[] = {L"About", L"Hide Player", L"Minimize", L"Maximize", L"Exit", L"Previous", L"Play",
                                L"Next", L"Pause", L"Stop", L"Control Panel", L"Playlist", L"Rewind", L"Forward"};
    for (long id = 1; id <= 14; id++) {
        EXPECT_EQ(name(strip_object, id), buttons[id - 1]) << id;
        EXPECT_EQ(role(strip_object, id), ROLE_SYSTEM_PUSHBUTTON) << id;
        BSTR action = nullptr;
        HRESULT hr = strip_object->get_accDefaultAction(child(id), &action);
        EXPECT_EQ(text_of(hr, &action), L"Press") << id;
    }
    EXPECT_EQ(role(strip_object, 15), ROLE_SYSTEM_SLIDER);
    EXPECT_EQ(role(strip_object, 16), ROLE_SYSTEM_SLIDER);
    EXPECT_EQ(role(strip_object, 17), ROLE_SYSTEM_STATICTEXT);
    EXPECT_NE(name(strip_object, 17).find(L"long.avi"), std::wstring::npos) << name(strip_object, 17);
    std::wstring seek = value(strip_object, 15);
    EXPECT_TRUE(seek.rfind(L"0:00:0", 0) == 0 && seek.find(L" of 0:00:") == 7) << seek.c_str();

    // Where a control stands, on the screen, and what stands at a point.
    long x, y, w, h;
    ASSERT_EQ(strip_object->accLocation(&x, &y, &w, &h, child(7)), S_OK);
    POINT corner = {69, 41};
    ClientToScreen(player, &corner);
    EXPECT_TRUE(x == corner.x && y == corner.y && w == 34 && h == 34) << x << "," << y << " " << w << "x" << h;
    VARIANT hit;
    VariantInit(&hit);
    EXPECT_EQ(strip_object->accHitTest(x + w / 2, y + h / 2, &hit), S_OK);
    EXPECT_TRUE(hit.vt == VT_I4 && hit.lVal == 7);
    VARIANT next;
    VariantInit(&next);
    EXPECT_EQ(strip_object->accNavigate(NAVDIR_NEXT, child(16), &next), S_OK);
    EXPECT_TRUE(next.vt == VT_I4 && next.lVal == 17);

    // Pause pressed through the object stops the clock; the volume set
    // through its value moves the knob on the screen.
    EXPECT_EQ(strip_object->accDoDefaultAction(child(9)), S_OK);
    EXPECT_TRUE(e2e_wait_until([&] { return clock_holds(viewer); }, 5000)) << "Pause did nothing";
    BSTR quarter = SysAllocString(L"25 %");
    EXPECT_EQ(strip_object->put_accValue(child(16), quarter), S_OK);
    SysFreeString(quarter);
    EXPECT_EQ(value(strip_object, 16), L"25 %");
    BSTR nonsense = SysAllocString(L"loud");
    EXPECT_EQ(strip_object->put_accValue(child(16), nonsense), E_INVALIDARG);
    SysFreeString(nonsense);
    EXPECT_EQ(value(strip_object, 16), L"25 %");
    strip_object->Release();

    // The About box carries its scrolling credits as its description.
    PostMessageA(viewer, WM_COMMAND, 40005, 0);  // About
    HWND about = e2e_wait_window(program.pid, "#32770", nullptr, 10000);
    ASSERT_TRUE(about);
    IAccessible* about_object = client_object(about);
    ASSERT_TRUE(about_object);
    BSTR credits = nullptr;
    HRESULT described_hr = about_object->get_accDescription(child(CHILDID_SELF), &credits);
    std::wstring described = text_of(described_hr, &credits);
    EXPECT_NE(described.find(L"Tavlin"), std::wstring::npos) << "the credits are not told";
    about_object->Release();
    PostMessageA(about, WM_CLOSE, 0, 0);
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindow(about); }, 5000));
}

// Tab from the viewer into the strip, on to Play and Space: playback starts,
// and nothing else happens with it; each move of the mark is told.
TEST_F(Access, TheKeyboardAloneReachesAndPressesTheStripsControls) {
    start("long.avi");
    ASSERT_TRUE(stop_playing(viewer));
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, on_focus_event,
                                         program.pid, 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_TRUE(hook);
    g_focus_events.clear();
    click(viewer, 100, 100);
    ASSERT_TRUE(e2e_wait_until([&] { return e2e_x_focus_on(viewer); }, 5000));
    for (int i = 0; i < 7; i++) e2e_key("Tab");
    auto reached = [&](long id) {
        return e2e_pump_until([&] {
            return !g_focus_events.empty() && g_focus_events.back().first == player && g_focus_events.back().second == id;
        }, 5000);
    };
    ASSERT_TRUE(reached(7)) << g_focus_events.size() << " focus events";
    std::vector<long> ids;  // the controls' own events, past the system's for the window
    for (auto& e : g_focus_events)
        if (e.first == player && e.second != CHILDID_SELF) ids.push_back(e.second);
    EXPECT_EQ(ids, (std::vector<long>{1, 2, 3, 4, 5, 6, 7}));
    IAccessible* strip_object = client_object(player);
    ASSERT_TRUE(strip_object);
    EXPECT_TRUE(state(strip_object, 7) & STATE_SYSTEM_FOCUSED);
    VARIANT focus;
    VariantInit(&focus);
    EXPECT_EQ(strip_object->get_accFocus(&focus), S_OK);
    EXPECT_TRUE(focus.vt == VT_I4 && focus.lVal == 7);

    e2e_key("space");
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 1; }, 15000)) << "Space on Play played nothing";
    EXPECT_TRUE(clock_runs(viewer, 3000)) << "Space did more than press Play";
    EXPECT_FALSE(x_full_screen(viewer));

    // The volume slider moves by twentieths from the keyboard; Shift+Tab
    // walks back, and from the first control it leaves the strip.
    for (int i = 0; i < 9; i++) e2e_key("Tab");
    ASSERT_TRUE(reached(16));
    e2e_key("Home");
    EXPECT_TRUE(e2e_wait_until([&] { return value(strip_object, 16) == L"0 %"; }, 5000)) << value(strip_object, 16).c_str();
    e2e_key("Right");
    EXPECT_TRUE(e2e_wait_until([&] { return value(strip_object, 16) == L"5 %"; }, 5000)) << value(strip_object, 16).c_str();
    for (int i = 0; i < 16; i++) e2e_key("shift+Tab");
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_x_focus_on(viewer); }, 5000)) << "Shift+Tab from the first control";
    EXPECT_FALSE(state(strip_object, 1) & STATE_SYSTEM_FOCUSED);
    strip_object->Release();
    UnhookWinEvent(hook);
}
