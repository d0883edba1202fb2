// A process's handle count, from the system's list of all open handles:
// Wine answers GetProcessHandleCount with 0 for every process. Shared by the
// tools that watch the player's handles.
#pragma once
#include <windows.h>
#include <winternl.h>
#include <stddef.h>

#include <vector>

struct HandleEntry {
    ULONG pid;
    BYTE type, flags;
    USHORT value;
    void* object;
    ULONG access;
};
struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};

inline bool handle_count(DWORD pid, unsigned long* out) {
    typedef NTSTATUS(WINAPI * Query)(ULONG, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    const ULONG SYSTEM_HANDLE_INFORMATION = 16;
    const NTSTATUS TOO_SMALL = static_cast<NTSTATUS>(0xC0000004);
    for (ULONG size = 1 << 20; query && size <= (1u << 26); size *= 2) {
        std::vector<char> list(size);
        ULONG needed = 0;
        NTSTATUS status = query(SYSTEM_HANDLE_INFORMATION, list.data(), size, &needed);
        if (status == TOO_SMALL) continue;
        if (status != 0) return false;
        ULONG count = *reinterpret_cast<ULONG*>(list.data());
        size_t first = offsetof(HandleList, entries);
        if (count > (size - first) / sizeof(HandleEntry)) return false;  // a count the list cannot hold
        const HandleEntry* entries = reinterpret_cast<const HandleEntry*>(list.data() + first);
        *out = 0;
        for (ULONG i = 0; i < count; i++) *out += entries[i].pid == pid;
        return true;
    }
    return false;
}

