// The artwork, drawn with the graphics engine from shapes in picture units.
// A picture is drawn at K times its size at the display's scale and reduced
// with the engine's area averaging, which gives the edges their smoothness;
// at any scale the shapes land where the layout puts them.
#include "art.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace {

const int K = 4;  // supersampling factor, lowered only where a canvas would not fit a surface

struct Pt {
    double x, y;
};

uint32_t rgb(int r, int g, int b) { return (static_cast<uint32_t>(r) << 16) | (g << 8) | b; }
const uint32_t CLEAR = 0xFF000000;  // fully transparent
const double PI = 3.14159265358979323846;

// The canvas: a surface f = k * scale times the picture's size; coordinates
// below are in picture units, as doubles, and a unit (x, y) covers [x, x + 1).
struct Canvas {
    Surface s;
    int w, h;  // the finished picture's size in pixels
    double f;
};

bool canvas_open(Canvas* c, double w, double h, double scale, uint32_t background) {
    memset(c, 0, sizeof *c);
    c->w = ui_px(w, scale);
    c->h = ui_px(h, scale);
    if (c->w < 1 || c->h < 1) return false;
    int k = K;
    while (k > 1 && static_cast<double>(c->w) * k * c->h * k > SURFACE_MAX_PIXELS) k--;
    c->f = k * scale;
    // Drawn into while locked, as the engine's fills ask.
    if (gfx_surface_create(&c->s, c->w * k, c->h * k, 0) != 1 || !gfx_surface_lock(&c->s, 0)) {
        gfx_surface_release(&c->s, 0);
        return false;
    }
    gfx_fill_copy(&c->s, 0, 0, c->s.width - 1, c->s.height - 1, background, 0);
    return true;
}

int big(const Canvas* c, double v) { return static_cast<int>(floor(v * c->f + 0.5)); }

// Rectangle from (x1, y1) to (x2, y2), edges exclusive of x2 and y2.
void box(Canvas* c, double x1, double y1, double x2, double y2, uint32_t colour) {
    gfx_fill_copy(&c->s, big(c, x1), big(c, y1), big(c, x2) - 1, big(c, y2) - 1, colour, 0);
}

void vertical_gradient(Canvas* c, double x1, double y1, double x2, double y2, uint32_t top, uint32_t bottom) {
    gfx_gradient_copy(&c->s, big(c, x1), big(c, y1), big(c, x2) - 1, big(c, y2) - 1, top, top, bottom, bottom, 0);
}

// Ellipse inscribed in the box (x1, y1)-(x2, y2); a radial gradient when the
// colours differ.
void oval(Canvas* c, double x1, double y1, double x2, double y2, uint32_t centre, uint32_t edge) {
    gfx_radial_copy(&c->s, big(c, x1), big(c, y1), big(c, x2) - 1, big(c, y2) - 1, centre, edge, 0);
}

// Even-odd scanline fill of a polygon, one engine fill per span.
void polygon(Canvas* c, const std::vector<Pt>& points, uint32_t colour) {
    double top = 1e9, bottom = -1e9;
    for (const Pt& p : points) top = std::min(top, p.y), bottom = std::max(bottom, p.y);
    std::vector<double> xs;
    const double f = c->f;
    for (int row = static_cast<int>(floor(top * f)); row <= static_cast<int>(ceil(bottom * f)); row++) {
        double y = (row + 0.5) / f;
        xs.clear();
        for (size_t i = 0; i < points.size(); i++) {
            Pt a = points[i], b = points[(i + 1) % points.size()];
            if ((a.y <= y) != (b.y <= y)) xs.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            int l = static_cast<int>(ceil(xs[i] * f - 0.5)), r = static_cast<int>(floor(xs[i + 1] * f - 0.5));
            if (l <= r) gfx_fill_copy(&c->s, l, row, r, row, colour, 0);
        }
    }
}

// A thick stroke from a to b as a four-cornered polygon.
void stroke(Canvas* c, Pt a, Pt b, double width, uint32_t colour) {
    double dx = b.x - a.x, dy = b.y - a.y, len = hypot(dx, dy);
    if (len <= 0) return;
    double nx = -dy / len * width / 2, ny = dx / len * width / 2;
    polygon(c, {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}}, colour);
}

void rounded_box(Canvas* c, double x1, double y1, double x2, double y2, double r, uint32_t colour) {
    box(c, x1 + r, y1, x2 - r, y2, colour);
    box(c, x1, y1 + r, x2, y2 - r, colour);
    oval(c, x1, y1, x1 + 2 * r, y1 + 2 * r, colour, colour);
    oval(c, x2 - 2 * r, y1, x2, y1 + 2 * r, colour, colour);
    oval(c, x1, y2 - 2 * r, x1 + 2 * r, y2, colour, colour);
    oval(c, x2 - 2 * r, y2 - 2 * r, x2, y2, colour, colour);
}

// A 5 x 7 block font for the few letters the artwork needs.
const char* glyph(char ch) {
    switch (ch) {
    case 'T': return "11111" "00100" "00100" "00100" "00100" "00100" "00100";
    case 'A': return "01110" "10001" "10001" "11111" "10001" "10001" "10001";
    case 'V': return "10001" "10001" "10001" "10001" "01010" "01010" "00100";
    case 'L': return "10000" "10000" "10000" "10000" "10000" "10000" "11111";
    case 'I': return "11111" "00100" "00100" "00100" "00100" "00100" "11111";
    case 'N': return "10001" "11001" "10101" "10101" "10011" "10001" "10001";
    case 'M': return "10001" "11011" "10101" "10101" "10001" "10001" "10001";
    case 'E': return "11111" "10000" "10000" "11110" "10000" "10000" "11111";
    case 'D': return "11110" "10001" "10001" "10001" "10001" "10001" "11110";
    case 'P': return "11110" "10001" "10001" "11110" "10000" "10000" "10000";
    case 'Y': return "10001" "10001" "01010" "00100" "00100" "00100" "00100";
    case 'R': return "11110" "10001" "10001" "11110" "10100" "10010" "10001";
    case 'S': return "01111" "10000" "10000" "01110" "00001" "00001" "11110";
    case 'O': return "01110" "10001" "10001" "10001" "10001" "10001" "01110";
    case 'U': return "10001" "10001" "10001" "10001" "10001" "10001" "01110";
    case 'K': return "10001" "10010" "10100" "11000" "10100" "10010" "10001";
    case 'W': return "10001" "10001" "10001" "10101" "10101" "11011" "10001";
    case 'X': return "10001" "10001" "01010" "00100" "01010" "10001" "10001";
    case 'C': return "01110" "10001" "10000" "10000" "10000" "10001" "01110";
    case 'G': return "01110" "10001" "10000" "10111" "10001" "10001" "01111";
    case 'H': return "10001" "10001" "10001" "11111" "10001" "10001" "10001";
    case '1': return "00100" "01100" "00100" "00100" "00100" "00100" "01110";
    case '2': return "01110" "10001" "00001" "00010" "00100" "01000" "11111";
    case '.': return "00000" "00000" "00000" "00000" "00000" "01100" "01100";
    case '?': return "01110" "10001" "00001" "00010" "00100" "00000" "00100";
    default: return "00000" "00000" "00000" "00000" "00000" "00000" "00000";
    }
}

double text_width(const char* text, double cell) { return strlen(text) * 6 * cell - cell; }

// Rounded blocks read better than hard squares.
void text(Canvas* c, const char* s, double left, double top, double cell, uint32_t colour) {
    for (size_t i = 0; s[i]; i++) {
        const char* g = glyph(s[i]);
        for (int row = 0; row < 7; row++)
            for (int col = 0; col < 5; col++)
                if (g[row * 5 + col] == '1') {
                    // Grown a little so that neighbouring blocks join into strokes.
                    double x = left + (i * 6 + col) * cell, y = top + row * cell, g = cell * 0.12;
                    rounded_box(c, x - g, y - g, x + cell + g, y + cell + g, cell * 0.35, colour);
                }
    }
}

void centred_text(Canvas* c, const char* s, double cx, double top, double cell, uint32_t colour) {
    text(c, s, cx - text_width(s, cell) / 2, top, cell, colour);
}

// The emblem: a white play triangle on a dark-blue disc in a silver ring.
void emblem(Canvas* c, double cx, double cy, double r) {
    oval(c, cx - r, cy - r, cx + r, cy + r, rgb(150, 154, 166), rgb(112, 116, 128));
    double ring = r * 0.94;
    oval(c, cx - ring, cy - ring, cx + ring, cy + ring, rgb(255, 255, 255), rgb(196, 200, 212));
    double inner = r * 0.8;
    oval(c, cx - inner, cy - inner, cx + inner, cy + inner, rgb(52, 86, 178), rgb(16, 30, 84));
    double s = inner * 0.55;
    polygon(c, {{cx - s * 0.6, cy - s}, {cx + s, cy}, {cx - s * 0.6, cy + s}}, rgb(255, 255, 255));
}

const uint32_t NAVY = rgb(18, 34, 92);
const uint32_t BLUE = rgb(30, 52, 128);
const uint32_t SYMBOL = rgb(24, 44, 116);

void make_logo(Canvas* c) {
    oval(c, -120, -140, 440, 340, rgb(40, 50, 110), rgb(8, 10, 30));
    emblem(c, 160, 88, 52);
    centred_text(c, "TAVLIN", 160, 156, 5, rgb(225, 230, 245));
    centred_text(c, "MEDIA PLAYER 1.1", 160, 204, 2, rgb(150, 170, 215));
}

// Controls of the face, by their layout rectangles (left, top, right, bottom
// with right and bottom outside), all drawn inside those rectangles.
struct Rect {
    double l, t, r, b;
    double cx() const { return (l + r) / 2; }
    double cy() const { return (t + b) / 2; }
};

// A round silver button filling its rectangle: dark rim, bright dome.
void round_button(Canvas* c, Rect k) {
    oval(c, k.l, k.t, k.r, k.b, rgb(120, 124, 136), rgb(92, 96, 108));
    oval(c, k.l + 1, k.t + 1, k.r - 1, k.b - 1, rgb(250, 250, 252), rgb(168, 172, 184));
    double d = (k.r - k.l) * 0.18;
    oval(c, k.l + d, k.t + d * 0.6, k.r - d, k.b - d * 1.4, rgb(255, 255, 255), rgb(214, 218, 226));
}

void small_square_button(Canvas* c, Rect k) {
    rounded_box(c, k.l, k.t, k.r, k.b, 3, rgb(10, 20, 60));
    rounded_box(c, k.l + 1, k.t + 1, k.r - 1, k.b - 1, 2.5, BLUE);
    rounded_box(c, k.l + 2, k.t + 2, k.r - 2, k.cy(), 2, rgb(52, 78, 160));
}

void triangle_right(Canvas* c, double cx, double cy, double s, uint32_t colour) {
    polygon(c, {{cx - s * 0.55, cy - s}, {cx + s * 0.75, cy}, {cx - s * 0.55, cy + s}}, colour);
}

void triangle_left(Canvas* c, double cx, double cy, double s, uint32_t colour) {
    polygon(c, {{cx + s * 0.55, cy - s}, {cx - s * 0.75, cy}, {cx + s * 0.55, cy + s}}, colour);
}

void chevron_left(Canvas* c, double cx, double cy, double s, uint32_t colour) {
    stroke(c, {cx + s * 0.5, cy - s}, {cx - s * 0.5, cy}, s * 0.45, colour);
    stroke(c, {cx - s * 0.5, cy}, {cx + s * 0.5, cy + s}, s * 0.45, colour);
}

void groove(Canvas* c, Rect k, double height) {
    double t = k.cy() - height / 2, b = k.cy() + height / 2, r = height / 2;
    rounded_box(c, k.l, t - 1, k.r, b + 1, r + 1, rgb(250, 250, 252));
    rounded_box(c, k.l, t - 1, k.r, b, r + 0.5, rgb(96, 100, 112));
    rounded_box(c, k.l + 1, t, k.r - 1, b, r, NAVY);
}

void star(Canvas* c, double cx, double cy, double r, uint32_t colour) {
    std::vector<Pt> p;
    for (int i = 0; i < 10; i++) {
        double a = -PI / 2 + i * PI / 5, d = (i % 2) ? r * 0.45 : r;
        p.push_back({cx + d * cos(a), cy + d * sin(a)});
    }
    polygon(c, p, colour);
}

// A list: three rows, each a square bullet and a line of text.
void list_mark(Canvas* c, double cx, double cy, double s) {
    for (int row = -1; row <= 1; row++) {
        double y = cy + row * s * 0.6;
        box(c, cx - s, y - s * 0.17, cx - s * 0.62, y + s * 0.17, SYMBOL);
        rounded_box(c, cx - s * 0.42, y - s * 0.14, cx + s, y + s * 0.14, s * 0.1, SYMBOL);
    }
}

void make_skin(Canvas* c) {
    // The face: a light silver-grey strip with a bevelled edge.
    vertical_gradient(c, 0, 0, 480, 156, rgb(236, 238, 242), rgb(178, 182, 192));
    box(c, 0, 0, 480, 1, rgb(255, 255, 255));
    box(c, 0, 0, 1, 156, rgb(255, 255, 255));
    box(c, 0, 155, 480, 156, rgb(98, 102, 114));
    box(c, 479, 0, 480, 156, rgb(98, 102, 114));
    box(c, 6, 36, 474, 37, rgb(160, 164, 176));
    box(c, 6, 37, 474, 38, rgb(252, 252, 254));
    box(c, 6, 80, 474, 81, rgb(160, 164, 176));
    box(c, 6, 81, 474, 82, rgb(252, 252, 254));

    // Title plate and the five small buttons.
    rounded_box(c, 8, 8, 298, 30, 4, rgb(10, 20, 60));
    vertical_gradient(c, 10, 10, 296, 28, rgb(44, 70, 150), NAVY);
    emblem(c, 21, 19, 8);
    text(c, "TAVLIN MEDIA PLAYER 1.1", 36, 13, 1.75, rgb(232, 236, 250));
    const Rect about{305, 9, 327, 29}, hide{328, 9, 350, 29}, minimise{351, 9, 373, 29}, maximise{374, 9, 396, 29},
        exit_button{397, 9, 419, 29};
    for (Rect k : {about, hide, minimise, maximise, exit_button}) small_square_button(c, k);
    uint32_t mark = rgb(240, 244, 255);
    centred_text(c, "?", about.cx(), about.t + 4, 1.75, mark);
    chevron_left(c, hide.cx() - 2.5, hide.cy(), 4, mark);
    chevron_left(c, hide.cx() + 3, hide.cy(), 4, mark);
    box(c, minimise.cx() - 5, minimise.b - 8, minimise.cx() + 5, minimise.b - 5.5, mark);
    gfx_frame_copy(&c->s, big(c, maximise.cx() - 5.5), big(c, maximise.cy() - 5), big(c, maximise.cx() + 5.5) - 1,
                   big(c, maximise.cy() + 5) - 1, std::max(1, big(c, 2)), mark, 0);
    stroke(c, {exit_button.cx() - 4.5, exit_button.cy() - 4.5}, {exit_button.cx() + 4.5, exit_button.cy() + 4.5}, 2.3,
           mark);
    stroke(c, {exit_button.cx() + 4.5, exit_button.cy() - 4.5}, {exit_button.cx() - 4.5, exit_button.cy() + 4.5}, 2.3,
           mark);

    // The transport row.
    const Rect previous{25, 45, 52, 72}, play{69, 41, 104, 76}, next{121, 45, 148, 72}, pause{164, 45, 191, 72},
        stop{207, 45, 234, 72}, panel{250, 45, 277, 72}, playlist{294, 45, 321, 72};
    for (Rect k : {previous, play, next, pause, stop, panel, playlist}) round_button(c, k);
    triangle_left(c, previous.cx() + 1.5, previous.cy(), 5.5, SYMBOL);
    box(c, previous.cx() - 6.5, previous.cy() - 5.5, previous.cx() - 4, previous.cy() + 5.5, SYMBOL);
    triangle_right(c, play.cx() + 1, play.cy(), 9, SYMBOL);
    triangle_right(c, next.cx() - 1.5, next.cy(), 5.5, SYMBOL);
    box(c, next.cx() + 4, next.cy() - 5.5, next.cx() + 6.5, next.cy() + 5.5, SYMBOL);
    box(c, pause.cx() - 5, pause.cy() - 6, pause.cx() - 1.5, pause.cy() + 6, SYMBOL);
    box(c, pause.cx() + 1.5, pause.cy() - 6, pause.cx() + 5, pause.cy() + 6, SYMBOL);
    rounded_box(c, stop.cx() - 5.5, stop.cy() - 5.5, stop.cx() + 5.5, stop.cy() + 5.5, 1, SYMBOL);
    star(c, panel.cx(), panel.cy() + 0.5, 8.5, rgb(170, 80, 0));
    star(c, panel.cx(), panel.cy() + 0.5, 7, rgb(255, 140, 20));
    list_mark(c, playlist.cx(), playlist.cy(), 7);

    // Volume: a groove between a minus and a plus sign.
    const Rect volume{363, 51, 441, 71};
    box(c, 341, volume.cy() - 1.25, 355, volume.cy() + 1.25, SYMBOL);
    groove(c, volume, 6);
    box(c, 447, volume.cy() - 1.25, 461, volume.cy() + 1.25, SYMBOL);
    box(c, 452.75, volume.cy() - 7, 455.25, volume.cy() + 7, SYMBOL);

    // Stepping and seeking.
    const Rect rewind{48, 88, 69, 109}, forward{103, 88, 124, 109}, seek{186, 89, 420, 109};
    round_button(c, rewind);
    round_button(c, forward);
    triangle_left(c, rewind.cx() - 2, rewind.cy(), 4, SYMBOL);
    triangle_left(c, rewind.cx() + 3, rewind.cy(), 4, SYMBOL);
    triangle_right(c, forward.cx() - 3, forward.cy(), 4, SYMBOL);
    triangle_right(c, forward.cx() + 2, forward.cy(), 4, SYMBOL);
    centred_text(c, "STEP", (rewind.r + forward.l) / 2, 95.5, 1, rgb(70, 78, 104));
    centred_text(c, "SEEK", 160, 95, 1.25, rgb(70, 78, 104));
    groove(c, seek, 6);

    // The text area along the bottom, with the maker's plate at its right end.
    box(c, 2, 122, 383, 155, NAVY);
    box(c, 2, 122, 383, 123, rgb(8, 14, 44));
    rounded_box(c, 387, 122, 476, 152, 4, rgb(120, 124, 136));
    vertical_gradient(c, 388, 123, 475, 151, rgb(226, 228, 234), rgb(170, 174, 186));
    emblem(c, 400, 137, 9);
    text(c, "TAVLIN", 413, 130, 1.5, NAVY);
    text(c, "MEDIA", 413, 142, 1, rgb(70, 78, 104));

    // Below the face everything is transparent but the slider knob, a small
    // dark oval at (1, 176)-(13, 198).
    box(c, 0, 156, 480, 200, CLEAR);
    oval(c, 1, 176, 14, 199, rgb(60, 64, 80), rgb(10, 12, 24));
    oval(c, 4, 179, 11, 188, rgb(150, 156, 176), rgb(40, 44, 60));
}

// The playlist's row marks: a silver disc, and for the current entry the
// same disc with a green play triangle over its left half. Drawn in units of
// a 16-pixel icon.
void entry_icon(Canvas* c) { oval(c, 1, 1, 15, 15, rgb(250, 250, 252), rgb(150, 154, 166)); }

void current_entry_icon(Canvas* c) {
    entry_icon(c);
    polygon(c, {{1, 16 * 0.15}, {16 * 0.62, 8}, {1, 16 * 0.85}}, rgb(40, 180, 60));
}

// The canvas reduced to the picture's size: the record takes the result.
int finish(Canvas* c, Surface* out) {
    gfx_surface_unlock(&c->s, 0);
    if (gfx_surface_resize(&c->s, c->w, c->h, GFX_RESIZE_AREA) != 1) {
        gfx_surface_release(&c->s, 0);
        return 0;
    }
    *out = c->s;
    return 1;
}

}  // namespace

int ui_px(double v, double scale) { return static_cast<int>(floor(v * scale + 0.5)); }

// The last unit whose first pixel, round(u * s), is at or before p.
int ui_unit(int p, double scale) { return static_cast<int>(ceil((p + 0.5) / scale)) - 1; }

int ui_draw_skin(Surface* out, double scale) {
    Canvas c;
    if (!out || !canvas_open(&c, UI_SKIN_WIDTH, UI_SKIN_HEIGHT, scale, CLEAR)) return 0;
    make_skin(&c);
    return finish(&c, out);
}

int ui_draw_logo(Surface* out, double scale) {
    Canvas c;
    if (!out || !canvas_open(&c, UI_LOGO_WIDTH, UI_LOGO_HEIGHT, scale, rgb(0, 0, 0))) return 0;
    make_logo(&c);
    return finish(&c, out);
}

int ui_draw_icon(Surface* out, int size, int kind) {
    Canvas c;
    if (!out || !canvas_open(&c, size, size, 1, CLEAR)) return 0;
    if (kind == UI_ICON_PROGRAM) {
        emblem(&c, size / 2.0, size / 2.0, size / 2.0 - 0.25);
    } else {
        // The marks are drawn for 16 pixels and scaled to the size asked.
        c.f = c.f * size / 16;
        if (kind == UI_ICON_ENTRY_CURRENT) current_entry_icon(&c);
        else entry_icon(&c);
    }
    return finish(&c, out);
}
