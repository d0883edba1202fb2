// Under Wine, DirectDraw runs on Wine's Direct3D: the player asks it for its
// GDI renderer without a command thread, which costs far less here (README,
// "Video path"), unless the user has chosen either in Wine's settings.
// Elsewhere the setting means nothing.
#include "renderer_choice.h"

#include <stdlib.h>
#include <wchar.h>

#include "media_state.h"

namespace {

bool has_value(const wchar_t* key_name, const wchar_t* value) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key_name, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    bool found = RegQueryValueExW(key, value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

// Whether the user set that value in Wine's Direct3D settings, for all
// programs or for this one, which Wine knows by its file's name.
bool user_chose(const wchar_t* value) {
    if (has_value(L"Software\\Wine\\Direct3D", value)) return true;
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const wchar_t* slash = wcsrchr(path, L'\\');
    wchar_t key[MAX_PATH + 40];
    swprintf(key, sizeof key / sizeof key[0], L"Software\\Wine\\AppDefaults\\%ls\\Direct3D", slash ? slash + 1 : path);
    return has_value(key, value);
}

// Wine reads the setting once, when its Direct3D is loaded, so this runs
// before ddraw.dll is. A setting in the environment or the user's own
// choice of either value is left alone. Wine's Direct3D reads the
// environment through the universal C runtime, which keeps its own copy.
void choose_direct3d_renderer() {
    static const char SETTING[] = "WINE_D3D_CONFIG=renderer=gdi,csmt=0x0";
    if (getenv("WINE_D3D_CONFIG") || user_chose(L"renderer") || user_chose(L"csmt")) return;
    _putenv(SETTING);
    typedef int(__cdecl * PutenvFn)(const char*);
    HMODULE ucrt = GetModuleHandleA("ucrtbase.dll");
    auto put = ucrt ? reinterpret_cast<PutenvFn>(reinterpret_cast<void*>(GetProcAddress(ucrt, "_putenv"))) : nullptr;
    if (put) put(SETTING);
}

typedef HRESULT(WINAPI* DirectDrawCreateFn)(GUID*, IDirectDraw**, IUnknown*);

DirectDrawCreateFn load_direct_draw() {
    choose_direct3d_renderer();
    HMODULE ddraw = LoadLibraryA("ddraw.dll");
    return ddraw ? reinterpret_cast<DirectDrawCreateFn>(
                       reinterpret_cast<void*>(GetProcAddress(ddraw, "DirectDrawCreate")))
                 : nullptr;
}

}  // namespace

HRESULT media_create_direct_draw(IDirectDraw** out) {
    static const DirectDrawCreateFn create = load_direct_draw();
    if (create) return create(nullptr, out, nullptr);
    media_append_error("DirectDraw could not be loaded from ddraw.dll.\n");
    return E_FAIL;
}
