// pictures_words.cpp — the sprites that the show tints: words, titles,
// seeds, the closing line and the two closing clip-art pictures. All are
// light on black with soft edges; their brightness becomes their opacity.
#include "detmath.h"
#include "greetings.h"
#include "pictures.h"
#include "text.h"
#include <algorithm>
#include <cmath>

void mask_sparkle(Mask &m, double cx, double cy, double radius, double value)
{
    mask_ellipse(m, cx, cy, radius, radius * 0.16, 0.0, value);
    mask_ellipse(m, cx, cy, radius * 0.16, radius, 0.0, value);
    mask_ellipse(m, cx, cy, radius * 0.45, radius * 0.08, det::PI / 4, value * 0.8);
    mask_ellipse(m, cx, cy, radius * 0.45, radius * 0.08, -det::PI / 4, value * 0.8);
    mask_disc(m, cx, cy, radius * 0.2, value);
}

void mask_snowflake(Mask &m, double cx, double cy, double radius, double value)
{
    double w = std::max(0.6, radius * 0.07);
    for (int arm = 0; arm < 6; arm++) {
        double a = arm * det::PI / 3.0, ux = det::cos(a), uy = det::sin(a);
        mask_capsule(m, cx, cy, cx + ux * radius, cy + uy * radius, w, value);
        for (double t : {0.45, 0.7}) {   // side branches
            double bx = cx + ux * radius * t, by = cy + uy * radius * t, len = radius * (0.85 - t) * 0.8;
            for (int side = -1; side <= 1; side += 2) {
                double b = a + side * det::PI / 3.0;
                mask_capsule(m, bx, by, bx + det::cos(b) * len, by + det::sin(b) * len, w * 0.8, value);
            }
        }
    }
    mask_disc(m, cx, cy, w * 2.0, value);
}

namespace {

// A heavy word (strokes grown by `grow`), solid with a crisp rim: the scene
// tints it dark, and any glow would only lay a grey veil around it.
Image heavy_word_picture(int w, int h, const std::string &text, TextStyle style, double ink_width, double grow)
{
    Mask m(w, h);
    style.size = text_fit_width(text, style, ink_width - 2.0 * grow);
    text_draw_centred(m, text, style, w / 2.0, h / 2.0);
    return grey_image(solid_shape(m, grow, 1.8));
}

// A single line of lettering fitted to a width, centred, with a soft glow.
Image word_picture(int w, int h, const std::string &text, TextStyle style, double ink_width, double glow)
{
    Mask m(w, h);
    style.size = text_fit_width(text, style, ink_width);
    text_draw_centred(m, text, style, w / 2.0, h / 2.0);
    Mask soft = with_glow(m, glow, 0.45);
    fade_edges(soft, 3);
    return grey_image(soft);
}

}  // namespace

// ---- scene 5 -----------------------------------------------------------------------

// The overlay of scene 5: the scene tints it dark and lays it at up to half
// opacity, so the word is a dark stencil. It stands in the sky above the
// road like a banner over the car (whose roof never rises above row 237),
// heavy, solid to the last pixel and with a clean edge of two or three
// pixels: nothing else, so the lens shows no smudges.
Image make_fun()
{
    const int W = 800, H = 600;
    TextStyle style;
    style.face = Face::sans_bold;
    style.shear = 0.16;
    style.x_scale = 1.12;
    style.tracking = 18;
    style.size = text_fit_width("fun!", style, 440);
    Mask word(W, H);
    text_draw_centred(word, "fun!", style, W / 2.0, 116);
    return grey_image(solid_shape(word, 4.0, 2.5));
}

// ---- scene 6 -----------------------------------------------------------------------

// The seeds are drawn at 39 % opacity at most, so each is broad and bright:
// solid strokes, a soft fill where the strokes are thin.
// A dandelion seed seen as it flies: a round plume of rays with bright
// tufts all round its top, a short stalk and the seed below; `s` pixels per
// unit of its 48-unit design, tilted by `tilt` radians about its centre.
void dandelion_seed(Mask &m, double cx, double cy, double s, double tilt, uint64_t seed)
{
    Rng rng(seed);
    double ct = det::cos(tilt), st = det::sin(tilt);
    auto at = [&](double u, double v) {   // design units around the plume's centre (24, 19)
        double dx = (u - 24.0) * s, dy = (v - 19.0) * s;
        return Point{cx + dx * ct - dy * st, cy + dx * st + dy * ct};
    };
    Point centre = at(24, 19);
    Mask puff(m.w, m.h);
    mask_disc(puff, centre.x, centre.y, 15.0 * s, 0.5);
    mask_max(m, mask_blur(puff, 2.5 * s));
    for (int i = 0; i < 16; i++) {
        double a = det::PI * (0.72 + 1.56 * (i + 0.5) / 16.0) + rng.range(-0.05, 0.05);   // all but the bottom
        double len = rng.range(16.5, 18.5);
        Point end = at(24 + det::cos(a) * len, 19 + det::sin(a) * len);
        mask_capsule(m, centre.x, centre.y, end.x, end.y, 0.6 * s + 0.2, 1.0);
        mask_disc(m, end.x, end.y, 2.0 * s, 1.0);
    }
    mask_disc(m, centre.x, centre.y, 2.5 * s, 1.0);
    Point stalk = at(24, 38), nut = at(24, 41.5);
    mask_capsule(m, centre.x, centre.y, stalk.x, stalk.y, 0.8 * s + 0.2, 1.0);
    mask_ellipse(m, nut.x, nut.y, 2.4 * s, 4.4 * s, tilt, 1.0);
}

// A winged seed, as a maple sheds: a broad veined wing swept from a round
// nut, `s` pixels per unit of its 32-unit design, turned by `turn` radians.
void winged_seed(Mask &m, double cx, double cy, double s, double turn, uint64_t seed)
{
    Rng rng(seed);
    double ct = det::cos(turn), st = det::sin(turn);
    auto at = [&](double u, double v) {   // design units around (16, 14)
        double dx = (u - 16.0) * s, dy = (v - 14.0) * s;
        return Point{cx + dx * ct - dy * st, cy + dx * st + dy * ct};
    };
    Point nut = at(9, 22);
    std::vector<Point> wing = cubic_curve(nut, at(8, 10), at(18, 3), at(27, 5), 12);
    std::vector<Point> back = cubic_curve(at(27, 5), at(29, 12), at(20, 20), nut, 12);
    wing.insert(wing.end(), back.begin() + 1, back.end());
    mask_polygon(m, wing, 0.75);
    for (int v = 0; v < 4; v++) {   // veins fanning from the nut, brighter than the wing
        double t = 0.2 + 0.2 * v + rng.range(-0.03, 0.03);
        Point end = at(9 + (18.0 - 2.0 * v) * (0.6 + t), 22 - (19.0 - 3.0 * v) * (0.55 + 0.2 * t));
        mask_stroke(m, quad_curve(nut, at(13, 12), end, 8), 0.55 * s + 0.15, 1.0);
    }
    mask_stroke(m, wing, 0.6 * s + 0.2, 1.0);   // the rim
    mask_ellipse(m, nut.x, nut.y, 3.6 * s, 3.0 * s, 0.6 + turn, 1.0);
}

// Each sprite is drawn 150 times, so each holds more than one seed, of
// different kinds, sizes and angles: the drift then shows a mix rather than
// one shape repeated. The sprites keep their sizes, and so their cost.
Image make_seed_1()
{
    Mask m(40, 40);
    dandelion_seed(m, 15.5, 14.0, 0.62, 0.45, 160);   // a large one, leaning into the wind
    winged_seed(m, 30.5, 30.0, 0.36, 2.2, 162);      // a small wing tumbling below it
    Mask glowing = with_glow(m, 1.2, 0.5);
    fade_edges(glowing, 2);
    return grey_image(glowing);
}

Image make_seed_2()
{
    Mask m(28, 28);
    winged_seed(m, 11.0, 11.0, 0.52, -0.5, 161);     // a wing, its nut low
    dandelion_seed(m, 21.5, 20.5, 0.2, -0.6, 163);    // and a tiny plume
    Mask glowing = with_glow(m, 1.0, 0.5);
    fade_edges(glowing, 2);
    return grey_image(glowing);
}

Image make_hope()
{
    TextStyle style;
    style.face = Face::serif_bold;
    style.shear = 0.25;
    style.tracking = 4;
    return heavy_word_picture(510, 200, "hope", style, 470, 4.0);
}

Image make_visions()
{
    TextStyle style;
    style.face = Face::serif_bold;
    style.shear = 0.25;
    style.tracking = 2;
    return heavy_word_picture(462, 170, "visions", style, 425, 3.5);
}

// ---- scene 7: the four greeted groups -------------------------------------------------

// A group's name as its plate spells and letters it: the scene lays it as
// a faint dark stencil that shakes, so its edges are crisp and its strokes
// solid. The plate pulses in the rows above the picture's own top (row 80),
// so the name stands in the picture's lower part, under the plate at rest;
// the width centres it where the scene draws it.
Image title_picture(const GreetedGroup &group, int w)
{
    const int H = 112, INK_HEIGHT = 24, INK_CENTRE = 88, MARGIN = 10;
    TextStyle style = group.style;
    style.size = 100.0;
    TextBox box = text_measure(group.name, style);
    style.size *= std::min(INK_HEIGHT / (box.bottom - box.top), (w - 2.0 * MARGIN) / (box.right - box.left));
    Mask m(w, H);
    text_draw_centred(m, group.name, style, w / 2.0, INK_CENTRE);
    return grey_image(m);
}

Image make_title_5tide() { return title_picture(GREETED_GROUPS[0], 300); }
Image make_title_vexmoor() { return title_picture(GREETED_GROUPS[1], 270); }
Image make_title_palundo() { return title_picture(GREETED_GROUPS[2], 150); }
Image make_title_kb() { return title_picture(GREETED_GROUPS[3], 244); }

// ---- scene 8 -------------------------------------------------------------------------

Image make_greets()
{
    TextStyle style;
    style.face = Face::serif_bold;
    style.tracking = 1;
    return word_picture(624, 46, "thanks for watching, and goodnight!", style, 600, 3);
}

// Left closing picture: a lantern in line art, its flame giving off rays.
Image make_end_clipfart_1()
{
    const int W = 260, H = 330;
    Mask m(W, H);
    const double cx = 130;
    mask_ring(m, cx, 40, 16, 2.5);                       // the handle ring
    mask_polygon(m, std::vector<Point>{{cx - 30, 58}, {cx + 30, 58}, {cx + 46, 84}, {cx - 46, 84}});   // cap
    mask_polygon(m, std::vector<Point>{{cx - 8, 52}, {cx + 8, 52}, {cx + 8, 60}, {cx - 8, 60}});
    std::vector<Point> glass = {{cx - 44, 84}, {cx + 44, 84}, {cx + 36, 236}, {cx - 36, 236}};
    mask_polygon(m, glass, 0.22);
    for (double t : {-1.0, -0.34, 0.34, 1.0})   // frame bars
        mask_capsule(m, cx + t * 44, 84, cx + t * 36, 236, 2.6);
    mask_capsule(m, cx - 44, 84, cx + 44, 84, 3.0);
    mask_capsule(m, cx - 40, 160, cx + 40, 160, 1.5, 0.7);
    mask_polygon(m, std::vector<Point>{{cx - 42, 236}, {cx + 42, 236}, {cx + 30, 262}, {cx - 30, 262}});   // base
    mask_polygon(m, std::vector<Point>{{cx - 20, 262}, {cx + 20, 262}, {cx + 26, 272}, {cx - 26, 272}});
    // The flame: an outer teardrop and a bright core, on a candle.
    mask_polygon(m, std::vector<Point>{{cx - 9, 232}, {cx + 9, 232}, {cx + 9, 196}, {cx - 9, 196}}, 0.75);
    std::vector<Point> flame;
    for (int i = 0; i <= 40; i++) {
        double t = det::TWO_PI * i / 40.0, r = 1.0 - 0.55 * (1.0 + det::sin(t)) / 2.0;
        flame.push_back({cx + 14 * r * det::cos(t) * (1.0 + 0.2 * det::sin(t)), 168 + 26 * det::sin(t) - 8 * (1.0 - det::sin(t))});
    }
    mask_polygon(m, flame, 0.9);
    mask_ellipse(m, cx, 172, 5, 11, 0.0, 1.0);
    Mask glow(W, H);
    mask_disc(glow, cx, 165, 30, 0.6);
    mask_max(m, mask_blur(glow, 18));
    for (int i = 0; i < 12; i++) {   // rays beyond the glass
        double a = det::TWO_PI * i / 12.0 + 0.13, r0 = 78, r1 = i % 2 ? 100 : 112;
        double x0 = cx + det::cos(a) * r0, y0 = 160 + det::sin(a) * r0 * 1.15;
        double x1 = cx + det::cos(a) * r1, y1 = 160 + det::sin(a) * r1 * 1.15;
        if (std::fabs(x0 - cx) > 50 || y0 < 60 || y0 > 275)
            mask_capsule(m, x0, y0, x1, y1, 2.0, 0.9);
    }
    mask_sparkle(m, 40, 300, 12, 0.9);
    mask_sparkle(m, 220, 70, 10, 0.8);
    return grey_image(with_glow(m, 3, 0.3));
}

// Right closing picture: a fay in flight, drawn in the lantern's line-art
// language: lines at full light, faint fills, a glow. She floats with one
// leg bent, the wand raised; four veined wings stand behind her.
namespace {

// The outline of a shape: its coverage minus that of the same shape drawn thinner.
void add_outline(Mask &line, const Mask &outer, const Mask &inner, double value = 1.0)
{
    for (size_t i = 0; i < outer.v.size(); i++)
        line.v[i] = std::max(line.v[i], (float)(std::max(0.0f, outer.v[i] - inner.v[i]) * value));
}

// A limb of two segments, tapering from r0 to r1: filled faintly, outlined.
void limb(Mask &fill, Mask &line, Point a, Point b, Point c, double r0, double r1)
{
    Mask outer(fill.w, fill.h), inner(fill.w, fill.h);
    const int STEPS = 12;   // short capsules, each a little thinner: a smooth taper
    for (int k = 0; k < STEPS; k++) {
        double t0 = (double)k / STEPS, t1 = (double)(k + 1) / STEPS;
        auto at = [&](double t) {
            return t < 0.5 ? Point{a.x + (b.x - a.x) * t * 2, a.y + (b.y - a.y) * t * 2}
                           : Point{b.x + (c.x - b.x) * (t * 2 - 1), b.y + (c.y - b.y) * (t * 2 - 1)};
        };
        Point p = at(t0), q = at(t1);
        double r = r0 + (r1 - r0) * (t0 + t1) / 2.0;
        mask_capsule(outer, p.x, p.y, q.x, q.y, r);
        mask_capsule(inner, p.x, p.y, q.x, q.y, r - 1.6);
    }
    mask_max(fill, outer, 0.4);
    add_outline(line, outer, inner);
}

// A wing from its root to its tip: a leaf outline of two cubic edges, a main
// vein, branches to the trailing edge and a few cross-veins.
void wing(Mask &fill, Mask &line, Point root, Point tip, double breadth, double sweep)
{
    double dx = tip.x - root.x, dy = tip.y - root.y, len = std::sqrt(dx * dx + dy * dy);
    double nx = -dy / len * breadth, ny = dx / len * breadth;   // across the wing
    auto along = [&](double t, double across) {
        return Point{root.x + dx * t + nx * across, root.y + dy * t + ny * across};
    };
    std::vector<Point> edge = cubic_curve(root, along(0.35, 0.55 + sweep), along(0.85, 0.75 + sweep), tip, 20);
    std::vector<Point> back = cubic_curve(tip, along(0.9, -0.55), along(0.4, -0.75), root, 20);
    std::vector<Point> outline = edge;
    outline.insert(outline.end(), back.begin() + 1, back.end());
    Mask shape(fill.w, fill.h);
    mask_polygon(shape, outline);
    mask_max(fill, shape, 0.2);
    mask_stroke(line, outline, 1.1, 1.0);
    Mask veins(fill.w, fill.h);
    std::vector<Point> main_vein = quad_curve(root, along(0.5, 0.15), along(0.97, 0.0), 16);
    mask_stroke(veins, main_vein, 0.8, 0.85);
    for (int k = 1; k <= 3; k++) {   // branches sweeping back to the trailing edge
        double t = 0.22 * k;
        mask_stroke(veins, quad_curve(along(t, 0.1), along(t + 0.12, -0.3), along(t + 0.2, -0.62), 10), 0.6, 0.7);
        mask_stroke(veins, quad_curve(along(t + 0.05, 0.12), along(t + 0.14, 0.4), along(t + 0.2, 0.6), 10), 0.6, 0.6);
    }
    for (int k = 0; k < 4; k++) {   // cross-veins between the branches
        double t = 0.3 + 0.17 * k;
        mask_capsule(veins, along(t, -0.2).x, along(t, -0.2).y, along(t + 0.05, -0.45).x, along(t + 0.05, -0.45).y, 0.45, 0.5);
    }
    for (size_t i = 0; i < veins.v.size(); i++)   // veins end at the wing's edge
        line.v[i] = std::max(line.v[i], std::min(veins.v[i], shape.v[i]));
}

}  // namespace

Image make_end_clipfart_2()
{
    const int W = 260, H = 330;
    Mask fill(W, H), line(W, H);
    const double cx = 130;
    // Wings first: the body is cut out of them below.
    Point back = {cx, 118};
    wing(fill, line, {back.x - 4, back.y}, {34, 38}, 30, 0.1);
    wing(fill, line, {back.x + 4, back.y}, {226, 38}, -30, 0.1);
    wing(fill, line, {back.x - 4, back.y + 12}, {58, 196}, -20, 0.0);
    wing(fill, line, {back.x + 4, back.y + 12}, {202, 196}, 20, 0.0);

    Mask body_fill(W, H), body_line(W, H);
    // Head: an oval with a face; hair swept back into flowing locks and a bun.
    Mask head(W, H), head_in(W, H);
    mask_ellipse(head, cx, 80, 14.5, 17.5, 0.0);
    mask_ellipse(head_in, cx, 80, 12.8, 15.8, 0.0);
    mask_max(body_fill, head, 0.3);
    add_outline(body_line, head, head_in);
    for (double side : {-1.0, 1.0}) {
        double ex = cx + side * 6.0;
        mask_stroke(body_line, quad_curve({ex - 3.6, 79.5}, {ex, 76.6}, {ex + 3.6, 79.5}, 8), 0.8);   // upper lid
        mask_disc(body_line, ex + 0.4, 80.4, 2.0);                                                     // iris
        mask_stroke(body_line, quad_curve({ex - 4.0, 73.5}, {ex, 71.0}, {ex + 4.0, 73.0}, 8), 0.7, 0.8);  // brow
        mask_disc(body_fill, ex + side * 2.5, 87.0, 3.2, 0.5);                                          // cheek
    }
    mask_stroke(body_line, quad_curve({cx + 0.5, 82.5}, {cx + 2.0, 86.0}, {cx - 0.5, 87.5}, 6), 0.6, 0.8);  // nose
    mask_stroke(body_line, quad_curve({cx - 4.5, 91.0}, {cx, 94.5}, {cx + 4.5, 91.0}, 8), 0.8);              // smile
    mask_stroke(body_line, quad_curve({cx - 15, 78}, {cx - 8, 58}, {cx + 12, 64}, 12), 1.4);   // hairline
    mask_disc(body_line, cx + 4, 56, 7.0);
    mask_disc(body_fill, cx + 4, 56, 7.0, 0.5);   // the bun
    for (int i = 0; i < 5; i++) {                 // locks streaming back and down
        double o = i * 3.2;
        mask_stroke(body_line, cubic_curve({cx - 13 + o * 0.3, 66 + o}, {cx - 30 - o, 70 + o}, {cx - 20 - o, 100 + o},
                                           {cx - 36 - o * 1.4, 118 + o * 1.5}, 16), 1.1, 0.9);
    }
    std::vector<Point> tiara;
    for (int i = 0; i < 10; i++) {
        double a = -det::PI / 2 + det::PI * i / 5.0, r = i % 2 ? 2.2 : 5.5;
        tiara.push_back({cx + 4 + det::cos(a) * r, 46 + det::sin(a) * r});
    }
    mask_polygon(body_line, tiara);
    // Neck, bodice, and a skirt of petals.
    mask_capsule(body_line, cx - 3, 97, cx - 3.5, 105, 0.9);
    mask_capsule(body_line, cx + 3, 97, cx + 3.5, 105, 0.9);
    std::vector<Point> bodice = {{cx - 13, 107}, {cx + 13, 107}, {cx + 7, 140}, {cx - 7, 140}};
    mask_polygon(body_fill, bodice, 0.45);
    mask_stroke(body_line, {bodice[0], bodice[1], bodice[2], bodice[3], bodice[0]}, 1.2);
    mask_stroke(body_line, quad_curve({cx - 10, 110}, {cx, 118}, {cx + 10, 110}, 8), 0.8, 0.8);   // neckline
    std::vector<Point> skirt = {{cx - 7, 140}};
    const double hem_y = 196;
    for (int k = 0; k <= 5; k++) {   // the hem: five pointed petals
        double x0 = cx - 36 + k * 14.4;
        if (k < 5) {
            std::vector<Point> petal = quad_curve({x0, hem_y - 8}, {x0 + 7.2, hem_y + 10}, {x0 + 14.4, hem_y - 8}, 6);
            skirt.insert(skirt.end(), petal.begin(), petal.end());
        }
    }
    skirt.push_back({cx + 7, 140});
    mask_polygon(body_fill, skirt, 0.35);
    std::vector<Point> skirt_line = skirt;
    skirt_line.push_back(skirt.front());
    mask_stroke(body_line, skirt_line, 1.2);
    for (double f : {-0.5, 0.0, 0.5})   // folds
        mask_stroke(body_line, quad_curve({cx + f * 8, 142}, {cx + f * 24, 165}, {cx + f * 44, hem_y - 6}, 8), 0.6, 0.7);
    // Arms: one reaching out and down, one raising the wand; legs: one
    // stretched with the foot pointed, one bent at the knee.
    limb(body_fill, body_line, {cx - 12, 109}, {cx - 28, 136}, {cx - 40, 156}, 4.2, 3.0);
    limb(body_fill, body_line, {cx + 12, 109}, {cx + 31, 95}, {cx + 44, 72}, 4.2, 3.0);
    limb(body_fill, body_line, {cx - 9, 190}, {cx - 14, 240}, {cx - 18, 286}, 5.2, 3.2);
    limb(body_fill, body_line, {cx + 9, 190}, {cx + 24, 230}, {cx + 12, 262}, 5.2, 3.2);
    mask_stroke(body_line, quad_curve({cx - 18, 286}, {cx - 22, 296}, {cx - 30, 300}, 6), 2.2);
    mask_stroke(body_line, quad_curve({cx + 12, 262}, {cx + 8, 272}, {cx, 276}, 6), 2.2);
    // The wand and its star, trailing sparkles.
    mask_capsule(body_line, cx + 44, 72, cx + 64, 36, 1.6);
    std::vector<Point> star;
    for (int i = 0; i < 10; i++) {
        double a = -det::PI / 2 + det::PI * i / 5.0, r = i % 2 ? 6.0 : 15.0;
        star.push_back({cx + 68 + det::cos(a) * r, 28 + det::sin(a) * r});
    }
    mask_polygon(body_line, star);
    Rng rng(170);
    for (int i = 0; i < 10; i++) {
        double t = i / 10.0;
        mask_sparkle(body_line, cx + 74 - t * 190 + rng.range(-6, 6), 26 + t * t * 270 + rng.range(-10, 10), 8 - 5 * t,
                     0.9 - 0.4 * t);
    }
    // The body hides the wings behind it.
    Mask silhouette = body_fill;
    mask_max(silhouette, body_line);
    for (size_t i = 0; i < line.v.size(); i++) {
        float cover = std::min(1.0f, silhouette.v[i] * 2.5f);
        line.v[i] *= 1.0f - cover;
        fill.v[i] *= 1.0f - cover;
    }
    Mask m = fill;
    mask_max(m, line);
    mask_max(m, body_fill);
    mask_max(m, body_line);
    return grey_image(with_glow(m, 3, 0.3));
}
