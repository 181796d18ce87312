// text.cpp — FreeType lettering for the generator.
#include "text.h"
#include <algorithm>
#include <cmath>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <functional>
#include <stdexcept>

static const char *const FONT_DIR = "/usr/share/fonts/truetype/dejavu/";
static FT_Library library = nullptr;
static FT_Face faces[5] = {};

void text_init()
{
    if (library)
        return;
    if (FT_Init_FreeType(&library))
        throw std::runtime_error("FreeType could not start");
    const char *files[5] = {"DejaVuSans-Bold.ttf", "DejaVuSans.ttf", "DejaVuSerif-Bold.ttf", "DejaVuSerif.ttf",
                            "DejaVuSansMono-Bold.ttf"};
    for (int i = 0; i < 5; i++) {
        std::string path = std::string(FONT_DIR) + files[i];
        if (FT_New_Face(library, path.c_str(), 0, &faces[i]))
            throw std::runtime_error("missing font " + path + " (Debian package fonts-dejavu-core)");
    }
}

void text_done()
{
    for (auto &f : faces)
        if (f) {
            FT_Done_Face(f);
            f = nullptr;
        }
    if (library)
        FT_Done_FreeType(library);
    library = nullptr;
}

static FT_Face prepare(const TextStyle &style)
{
    text_init();
    FT_Face face = faces[(int)style.face];
    FT_Set_Char_Size(face, 0, (FT_F26Dot6)std::lround(style.size * 64.0), 72, 72);
    return face;
}

// Walks the laid-out glyphs: for each rendered bitmap, calls visit with its
// top-left corner relative to the pen origin.
static void layout(const std::string &text, const TextStyle &style,
                   const std::function<void(const FT_Bitmap &, int left, int top)> &visit)
{
    FT_Face face = prepare(style);
    double pen = 0.0;
    FT_UInt previous = 0;
    for (unsigned char ch : text) {
        FT_UInt index = FT_Get_Char_Index(face, ch);
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector k;
            FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &k);
            pen += k.x / 64.0 * style.x_scale;
        }
        double whole = std::floor(pen);
        FT_Matrix matrix = {(FT_Fixed)std::lround(style.x_scale * 65536.0), (FT_Fixed)std::lround(style.shear * 65536.0),
                            0, 0x10000};
        FT_Vector delta = {(FT_Pos)std::lround((pen - whole) * 64.0), 0};
        FT_Set_Transform(face, &matrix, &delta);
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) == 0) {
            FT_GlyphSlot g = face->glyph;
            if (g->bitmap.width > 0 && g->bitmap.rows > 0)
                visit(g->bitmap, (int)whole + g->bitmap_left, -g->bitmap_top);
            pen += g->advance.x / 64.0 + style.tracking;
        }
        previous = index;
    }
    FT_Set_Transform(face, nullptr, nullptr);
}

TextBox text_measure(const std::string &text, const TextStyle &style)
{
    TextBox box = {1e9, 1e9, -1e9, -1e9};
    layout(text, style, [&](const FT_Bitmap &b, int left, int top) {
        box.left = std::min(box.left, (double)left);
        box.top = std::min(box.top, (double)top);
        box.right = std::max(box.right, (double)(left + (int)b.width));
        box.bottom = std::max(box.bottom, (double)(top + (int)b.rows));
    });
    return box;
}

void text_draw(Mask &m, const std::string &text, const TextStyle &style, double x, double baseline, double value)
{
    int ox = (int)std::floor(x), oy = (int)std::floor(baseline);
    layout(text, style, [&](const FT_Bitmap &b, int left, int top) {
        for (unsigned r = 0; r < b.rows; r++)
            for (unsigned c = 0; c < b.width; c++) {
                int tx = ox + left + (int)c, ty = oy + top + (int)r;
                if (tx < 0 || ty < 0 || tx >= m.w || ty >= m.h)
                    continue;
                float v = (float)(b.buffer[r * b.pitch + c] / 255.0 * value);
                if (v > m.at(tx, ty))
                    m.at(tx, ty) = v;
            }
    });
}

double text_fit_width(const std::string &text, TextStyle style, double width)
{
    for (int i = 0; i < 4; i++) {
        TextBox b = text_measure(text, style);
        double w = b.right - b.left;
        if (w <= 0)
            break;
        style.size *= width / w;
    }
    return style.size;
}

TextBox text_draw_centred(Mask &m, const std::string &text, const TextStyle &style, double cx, double cy,
                          double value)
{
    TextBox b = text_measure(text, style);
    double x = std::floor(cx - (b.left + b.right) / 2.0), y = std::floor(cy - (b.top + b.bottom) / 2.0);
    text_draw(m, text, style, x, y, value);
    return {b.left + x, b.top + y, b.right + x, b.bottom + y};
}

// ---- outlines -------------------------------------------------------------------------

struct OutlineWalk {
    std::vector<std::vector<Point>> contours;
    Point at = {0, 0};
    int steps;
    double x_scale, shear;
};

static Point to_point(const FT_Vector *v, const OutlineWalk *w)
{
    double x = v->x / 64.0, y = v->y / 64.0;
    return {x * w->x_scale + y * w->shear, -y};   // FreeType's y grows up
}

static int walk_move(const FT_Vector *to, void *user)
{
    auto *w = (OutlineWalk *)user;
    w->at = to_point(to, w);
    w->contours.push_back({w->at});
    return 0;
}

static int walk_line(const FT_Vector *to, void *user)
{
    auto *w = (OutlineWalk *)user;
    w->at = to_point(to, w);
    w->contours.back().push_back(w->at);
    return 0;
}

static int walk_conic(const FT_Vector *control, const FT_Vector *to, void *user)
{
    auto *w = (OutlineWalk *)user;
    auto pts = quad_curve(w->at, to_point(control, w), to_point(to, w), w->steps);
    w->contours.back().insert(w->contours.back().end(), pts.begin() + 1, pts.end());
    w->at = pts.back();
    return 0;
}

static int walk_cubic(const FT_Vector *c1, const FT_Vector *c2, const FT_Vector *to, void *user)
{
    auto *w = (OutlineWalk *)user;
    auto pts = cubic_curve(w->at, to_point(c1, w), to_point(c2, w), to_point(to, w), w->steps);
    w->contours.back().insert(w->contours.back().end(), pts.begin() + 1, pts.end());
    w->at = pts.back();
    return 0;
}

std::vector<std::vector<Point>> text_glyph_contours(char ch, const TextStyle &style, int steps, double &advance)
{
    FT_Face face = prepare(style);
    FT_Set_Transform(face, nullptr, nullptr);
    advance = 0.0;
    if (FT_Load_Char(face, (unsigned char)ch, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
        return {};
    OutlineWalk walk;
    walk.steps = steps;
    walk.x_scale = style.x_scale;
    walk.shear = style.shear;
    FT_Outline_Funcs funcs = {walk_move, walk_line, walk_conic, walk_cubic, 0, 0};
    FT_Outline_Decompose(&face->glyph->outline, &funcs, &walk);
    advance = face->glyph->advance.x / 64.0 * style.x_scale + style.tracking;
    for (auto &c : walk.contours)   // the closing point repeats the first
        if (c.size() > 1 && c.front().x == c.back().x && c.front().y == c.back().y)
            c.pop_back();
    return walk.contours;
}
