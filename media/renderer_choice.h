// DirectDraw, loaded at run time once Wine's Direct3D renderer is chosen.
#pragma once
#include <windows.h>
#include <ddraw.h>

// Creates DirectDraw on the default display. ddraw.dll is loaded on the
// first call, after the renderer choice; when it cannot be, a line naming
// it goes into the error report and the result is E_FAIL.
HRESULT media_create_direct_draw(IDirectDraw** out);
