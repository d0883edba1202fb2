// The processor time of a running program's own threads (those that start in
// its executable: the window thread, the media thread, the hand-off pick-up),
// apart from the threads the platform's libraries start inside it.
// Usage: thread_times <exe name>. Prints "own_threads = n" and
// "own_cpu_seconds = s", the threads' kernel and user time so far.
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <string.h>

typedef LONG(WINAPI* QueryThread)(HANDLE, int, void*, ULONG, ULONG*);
const int THREAD_START_ADDRESS = 9;  // ThreadQuerySetWin32StartAddress

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    QueryThread query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
    if (!query || snap == INVALID_HANDLE_VALUE) return 1;
    PROCESSENTRY32 process = {};
    process.dwSize = sizeof process;
    DWORD pid = 0;
    for (BOOL more = Process32First(snap, &process); more; more = Process32Next(snap, &process))
        if (!_stricmp(process.szExeFile, argv[1])) pid = process.th32ProcessID;
    if (!pid) return 1;
    // The executable is the first module listed.
    HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    if (modules == INVALID_HANDLE_VALUE || !Module32First(modules, &module)) return 1;
    CloseHandle(modules);
    uintptr_t base = reinterpret_cast<uintptr_t>(module.modBaseAddr), end = base + module.modBaseSize;
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    int own = 0;
    double seconds = 0;
    for (BOOL more = Thread32First(snap, &thread); more; more = Thread32Next(snap, &thread)) {
        if (thread.th32OwnerProcessID != pid) continue;
        HANDLE h = OpenThread(THREAD_QUERY_INFORMATION, FALSE, thread.th32ThreadID);
        if (!h) continue;
        uintptr_t start = 0;
        FILETIME created, ended, kernel, user;
        if (query(h, THREAD_START_ADDRESS, &start, sizeof start, nullptr) == 0 && start >= base && start < end &&
            GetThreadTimes(h, &created, &ended, &kernel, &user)) {
            own++;
            seconds += (static_cast<double>(kernel.dwHighDateTime + user.dwHighDateTime) * 4294967296.0 +
                        kernel.dwLowDateTime + user.dwLowDateTime) / 1e7;
        }
        CloseHandle(h);
    }
    CloseHandle(snap);
    printf("own_threads = %d\nown_cpu_seconds = %.3f\n", own, seconds);
    return 0;
}
