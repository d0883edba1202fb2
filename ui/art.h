// The program's artwork, drawn by the graphics engine at a display's scale
// (1 at 96 DPI): the skin, the logo and the icons. Pure pixel work, with no
// window or file calls, so the build tool draws the icons with it too.
#pragma once
#include "../gfx/gfx.h"

// The pictures' sizes at scale 1, in the units the skin's layout is given in.
#define UI_SKIN_WIDTH 480
#define UI_SKIN_HEIGHT 200
#define UI_FACE_HEIGHT 156
#define UI_LOGO_WIDTH 320
#define UI_LOGO_HEIGHT 240

// Where an edge at v skin units lands at scale s: round(v * s).
int ui_px(double v, double scale);
// The skin unit whose pixels at scale s, from round(u * s) to before
// round((u + 1) * s), hold pixel p.
int ui_unit(int p, double scale);

// Each draws a new picture into an empty record and returns 1, or 0 when a
// surface cannot be had. The skin is round(480 s) x round(200 s) with its
// transparency, the logo round(320 s) x round(240 s) and opaque, an icon
// size x size on a transparent ground.
int ui_draw_skin(Surface* out, double scale);
int ui_draw_logo(Surface* out, double scale);
#define UI_ICON_PROGRAM 0
#define UI_ICON_ENTRY 1
#define UI_ICON_ENTRY_CURRENT 2
int ui_draw_icon(Surface* out, int size, int kind);
