// Where a media file's path may sit in a command line; pure text work, with
// no file tests, so it can be checked and fuzzed on its own.
#pragma once
#include <stddef.h>

// guess: from the first drive letter ("C:"), "//" URL start or "\\" share
// start up to the first space or quote after the last dot (the whole first
// word when there is no such start or dot); quoted: the text between the first
// and the last double quote. Each buffer holds size characters and is left
// empty when its candidate is absent or would not fit whole.
void app_command_line_candidates(const char* command_line, char* guess, char* quoted, size_t size);
void app_command_line_candidates(const wchar_t* command_line, wchar_t* guess, wchar_t* quoted, size_t size);
// The arguments of a whole command line: past the program's name (quoted, or
// up to the first blank) and the blanks after it, as the system cuts them
// for WinMain.
const wchar_t* app_command_line_arguments(const wchar_t* command_line);
