// Steps several end-to-end tests share: start the player, look at its
// playlist window, and close it through the exit confirmation.
#pragma once
#include <gtest/gtest.h>

#include "e2e.h"

#define TITLE "Tavlin Media Player 1.1"
#define PLAYLIST_TITLE "Playlist | " TITLE

inline HWND start_player(E2eProgram* program, const std::string& arguments) {
    EXPECT_TRUE(e2e_start(program, arguments));
    HWND viewer = e2e_wait_window(program->pid, "tavlin_viewer", nullptr, 30000);
    EXPECT_TRUE(viewer != nullptr) << "no viewer window";
    return viewer;
}

// Opens the playlist window through the viewer's own command and returns its list.
inline HWND open_playlist(E2eProgram* program, HWND viewer) {
    PostMessageA(viewer, WM_COMMAND, 40015, 0);
    HWND dialog = e2e_wait_window(program->pid, "#32770", PLAYLIST_TITLE, 10000);
    EXPECT_TRUE(dialog != nullptr) << "no playlist window";
    return dialog ? GetDlgItem(dialog, 1000) : nullptr;
}

inline HWND wait_box(E2eProgram* program, const char* caption) {
    return e2e_wait_window(program->pid, "#32770", caption, 20000);
}

// Waits for a box of the program with this caption, keeps its text, presses
// the button and waits for the box to go; false when none came or it stayed.
inline bool answer_box(E2eProgram* program, const char* caption, int button, std::string* text = nullptr) {
    HWND box = wait_box(program, caption);
    if (box && text) *text = e2e_box_text(box);
    if (box) e2e_press(box, button);
    return box && e2e_wait_until([&] { return !IsWindow(box); }, 10000);
}
#define EXIT_BOX "Exit Tavlin Media Player"

// Answers Yes to the exit confirmation and expects exit code 0.
inline void close_player(E2eProgram* program, HWND viewer) {
    PostMessageA(viewer, WM_CLOSE, 0, 0);
    ASSERT_TRUE(answer_box(program, EXIT_BOX, IDYES));
    DWORD code = 99;
    ASSERT_TRUE(e2e_wait_exit(program, 15000, &code)) << "did not end";
    EXPECT_EQ(code, 0u);
}
