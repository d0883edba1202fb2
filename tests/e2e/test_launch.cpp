// A clip whose name the code page lacks, by every route into the player.
#include "../test_dib.h"
#include "viewer_steps.h"

namespace {

std::string utf8(const std::wstring& text) {
    char out[1024] = "";
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr);
    return out;
}

// Cyan pixels (the file name's colour) of the strip's text area, as a mask.
std::vector<bool> cyan_mask(const uint32_t* pixels, int stride, const RECT& area) {
    std::vector<bool> mask;
    for (int y = area.top; y < area.bottom; y++)
        for (int x = area.left; x < area.right; x++) {
            uint32_t p = pixels[y * stride + x];
            mask.push_back(red(p) < 100 && green(p) > 128 && blue(p) > 128);
        }
    return mask;
}

// How far the strip's text area is from showing name (a leading blank, as the
// strip puts it) in its own font, Arial of 11 pixels: the name drawn in cyan
// on black here, and the cyan pixels of each compared; the share that differ.
double strip_name_mismatch(HWND player, const std::wstring& name) {
    const RECT area = {2, 122, 382, 154};
    const int w = area.right - area.left, h = area.bottom - area.top;
    HDC memory = CreateCompatibleDC(nullptr);
    BITMAPINFOHEADER bi = test_dib_header(w, h, 32);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(memory, bitmap);
    HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
    SelectObject(memory, font);
    SetBkMode(memory, TRANSPARENT);
    SetTextColor(memory, RGB(0, 255, 255));
    RECT r = {0, 0, w, h};
    std::wstring text = L" " + name;
    DrawTextW(memory, text.c_str(), -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    GdiFlush();
    std::vector<bool> expected = cyan_mask(static_cast<uint32_t*>(bits), w, {0, 0, w, h});
    DeleteDC(memory);  // which lets go of the font and the bitmap
    DeleteObject(font);
    DeleteObject(bitmap);

    int sw, sh;
    std::vector<uint32_t> shot = e2e_capture_client(player, &sw, &sh);
    if (sw < area.right || sh < area.bottom) return 1;
    std::vector<bool> shown = cyan_mask(shot.data(), sw, area);
    size_t differ = 0, drawn = 0;
    for (size_t i = 0; i < expected.size(); i++) differ += expected[i] != shown[i], drawn += expected[i];
    return drawn < 20 ? 1 : static_cast<double>(differ) / drawn;
}

}  // namespace

// A clip whose name this system's code page has no characters for plays from
// the command line, the Open dialog, a dropped folder and .m3u8, and a second
// launch; the strip and the playlist's rows show its real name, not the
// short one it is opened by.
TEST(Launch, AClipNamedInJapanesePlaysByEveryRoute) {
    const std::wstring name = L"\u65E5\u672C\u8A9E\u306E\u52D5\u753B.avi";
    const std::wstring clip_path = e2e_wide(clip("")) + name;
    std::string dir = e2e_scratch_dir("launch-japanese");
    CreateDirectoryA((dir + "\\folder").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(clip_path.c_str(), (e2e_wide(dir) + L"\\folder\\" + name).c_str(), FALSE));
    std::string list = e2e_make_file(dir + "\\list.m3u8", "#EXTM3U\r\n" + utf8(clip_path) + "\r\n");

    E2eProgram program;
    ASSERT_TRUE(e2e_start(&program, L"\"" + clip_path + L"\""));
    HWND viewer = e2e_wait_window(program.pid, "tavlin_viewer", nullptr, 30000);
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000)) << "from the command line";
    HWND player = e2e_find_window(program.pid, "tavlin_player");
    ASSERT_TRUE(player);
    double mismatch = 1;
    EXPECT_TRUE(e2e_wait_until([&] { return (mismatch = strip_name_mismatch(player, name)) < 0.1; }, 10000))
        << "the strip's name differs in " << mismatch * 100 << "% of its pixels";

    ASSERT_TRUE(stop_playing(viewer));
    HWND dialog = nullptr, field = open_files_name_field(&program, viewer, &dialog);
    ASSERT_TRUE(field);
    SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(clip_path.c_str()));
    e2e_press(dialog, IDOK);
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000)) << "from the Open dialog";

    ASSERT_TRUE(stop_playing(viewer));
    ASSERT_TRUE(e2e_drop(viewer, {dir + "\\folder", list}));
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000)) << "from a drop";
    E2eProgram second;
    ASSERT_TRUE(e2e_start(&second, L"\"" + clip_path + L"\""));
    EXPECT_TRUE(e2e_wait_exit(&second, 15000, nullptr));
    HWND rows = open_playlist(&program, viewer);
    std::vector<std::string> got;
    EXPECT_TRUE(e2e_wait_until([&] { return (got = e2e_list_items(rows)).size() == 3; }, 15000))
        << "the folder's clip, the list's and the handed-over one: " << got.size();
    // Each row holds the real name, as a screen reader reads it from the list.
    for (int i = 0; i < 3; i++) {
        WCHAR row[256] = L"";
        if (SendMessageW(rows, LB_GETTEXTLEN, i, 0) < 256) SendMessageW(rows, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row));
        EXPECT_EQ(std::wstring(row), name) << "row " << i;
    }
    close_player(&program, viewer);
}
