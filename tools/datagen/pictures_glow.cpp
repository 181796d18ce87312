// pictures_glow.cpp — scenes 2 and 3: the two glows, the font sheet, the
// column textures, the elf picture and the scrolling strip.
#include "detmath.h"
#include "pictures.h"
#include "raster.h"
#include "text.h"
#include <algorithm>
#include <cctype>
#include <cmath>

// ---- scene 2 ---------------------------------------------------------------------

// A round glow: hot core, soft halo, six faint streaks; zero at the border.
static Image glow_picture(int size, double core, double halo, double ring_radius)
{
    Image img(size, size);
    double c = size / 2.0, edge = size / 2.0 - 1.0;
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            double dx = x + 0.5 - c, dy = y + 0.5 - c, r = std::sqrt(dx * dx + dy * dy);
            double v = det::exp(-(r / core) * (r / core)) + 0.55 * det::exp(-r / halo) +
                       0.25 * det::exp(-(r / (halo * 2.2)) * (r / (halo * 2.2)));
            double a = det::atan2(dy, dx);
            double streak = det::pow(std::fabs(det::cos(3.0 * a)), 60.0) * det::exp(-r / (halo * 1.6));
            v += 0.3 * streak * smoothstep(2, 10, r);
            if (ring_radius > 0)
                v += 0.12 * det::exp(-((r - ring_radius) / 2.5) * ((r - ring_radius) / 2.5));
            v *= 1.0 - smoothstep(edge * 0.7, edge, r);
            v = clamp01(v);
            img.set(x, y, {v, v, v});
        }
    return img;
}

Image make_flare_big() { return glow_picture(256, 16.0, 26.0, 0.0); }
Image make_flare_small() { return glow_picture(128, 8.0, 13.0, 40.0); }

// The font sheet: light glyphs on black in exactly the cells that the show
// cuts out. The scroll text advances by whole cells, so each glyph is drawn
// as a capital (the text is lower case, the sheet's names are) and widened
// to fill its cell: the letters then stand close, as words. The scene can
// only darken what lies under a letter, by the glyph's strength, so every
// stroke is solid at full strength with a crisp rim: a soft halo would only
// darken less.
Image make_fonts64()
{
    const int W = 790, H = 192, BASELINE = 59, MARGIN = 3;
    const double MOST_WIDENED = 1.6;
    Image img(W, H);
    TextStyle style;
    style.face = Face::sans_bold;
    style.size = 74.0;   // capitals 54 pixels tall: as large as the cells allow, to read over the red rings
    for (int i = 0; FONT_GLYPH_RECTS[i]; i++) {
        const GlyphRect &cell = *FONT_GLYPH_RECTS[i];
        std::string ch(1, (char)std::toupper((unsigned char)FONT_CHARACTERS[i]));
        TextStyle s = style;
        TextBox box = text_measure(ch, s);
        double ink = box.right - box.left, room = cell.w - 2.0 * MARGIN;
        s.x_scale = std::min(room / ink, MOST_WIDENED);
        box = text_measure(ch, s);
        Mask glyph(cell.w, cell.h);
        double x = std::floor((cell.w - (box.right - box.left)) / 2.0 - box.left);
        text_draw(glyph, ch, s, x, BASELINE);
        Mask solid = solid_shape(glyph, 0.5, 1.5);
        for (int y = 0; y < cell.h; y++)
            for (int gx = 0; gx < cell.w; gx++) {
                double v = clamp01(solid.at(gx, y));
                if (gx < 1 || gx >= cell.w - 1)
                    v = 0.0;
                img.set(cell.x + gx, cell.y + y, {v, v, v});
            }
    }
    return img;
}

// ---- scene 3 ----------------------------------------------------------------------

// The textures wrap around the column: columns 0 and 359 meet, so every
// pattern repeats a whole number of times across 360 columns. Their blue
// channel also pushes the column's outline out by blue / 2 pixels, so it is
// kept smooth and carries no fine detail.
static const int TEX_W = 360, TEX_H = 600;

Image make_emerald()
{
    Image img(TEX_W, TEX_H);
    for (int y = 0; y < TEX_H; y++)
        for (int x = 0; x < TEX_W; x++) {
            double u = x / 30.0, v = y / 30.0;
            double nearest, second, fu, fv;
            uint64_t id;
            cell_distances(u, v, 12, 20, 91, nearest, second, id, fu, fv);
            // Facets: each cell a cut face with its own slant and brightness.
            double tone = 0.35 + 0.65 * lattice_hash((int64_t)id, 1, 92);
            double slant = lattice_hash((int64_t)id, 2, 93) * det::TWO_PI;
            double sheen = 0.5 + det::cos(slant) * (u - fu) + det::sin(slant) * (v - fv);
            double facet = clamp01(tone * (0.6 + 0.6 * sheen));
            double edge = 1.0 - smoothstep(0.0, 0.07, second - nearest);
            double glint = det::pow(facet, 6.0);
            double red = 0.03 + 0.18 * glint + 0.45 * edge;
            double green = 0.20 + 0.68 * facet + 0.3 * edge;
            // Helical ribs: two turns around the column over its height. Blue is
            // what swells the column's outline, so the ribs take its whole range,
            // as steeply as the outline may change (about 5 levels a pixel).
            double rib = 0.5 + 0.5 * det::sin(det::TWO_PI * (2.0 * x / TEX_W + y / 150.0));
            double blue = rib;
            img.set(x, y, {clamp01(red), clamp01(green), blue});
        }
    return img;
}

Image make_emerald2()
{
    Image img(TEX_W, TEX_H);
    const double SW = 30.0, SH = 22.0;   // scale width and row height
    for (int y = 0; y < TEX_H; y++)
        for (int x = 0; x < TEX_W; x++) {
            // Overlapping scales: each row hangs half a scale to the side of the one above.
            double best = 1e9, shade = 0.0;
            uint64_t which = 0;
            int row = (int)std::floor(y / SH);
            for (int r = row - 1; r <= row + 1; r++) {
                double offset = (r & 1) ? SW / 2.0 : 0.0;
                int col = (int)std::floor((x - offset) / SW);
                for (int c = col - 1; c <= col + 1; c++) {
                    double cx = c * SW + offset + SW / 2.0, cy = r * SH;
                    double dx = x + 0.5 - cx, dy = (y + 0.5 - cy) * 1.1;
                    double d = std::sqrt(dx * dx + dy * dy);
                    // The scale below covers the one above; take the lowest row that reaches.
                    if (d < SW * 0.62 && (r > (int)(which >> 32) || best > 1e8)) {
                        best = d;
                        which = ((uint64_t)(uint32_t)r << 32) | (uint32_t)(c + 1000);
                        shade = d / (SW * 0.62);
                    }
                }
            }
            double tone = 0.7 + 0.3 * lattice_hash((int64_t)(which & 0xFFFFFFFF) % 12, (int64_t)(which >> 32), 94);
            double body = (1.0 - 0.55 * shade * shade) * tone;
            double rim = smoothstep(0.8, 0.97, shade);
            // Four rings of bulges stacked up the column, like beads, over the
            // whole range of blue (which swells the outline); the scales pale to
            // silver on the bulges, so the blue reads as sheen, not as a stripe.
            double blue = 0.5 + 0.5 * det::cos(det::TWO_PI * y / 150.0);
            double red = (0.55 + 0.4 * blue) * body - 0.35 * rim, green = (0.6 + 0.3 * blue) * body + 0.12 - 0.3 * rim;
            img.set(x, y, {clamp01(red), clamp01(green), blue});
        }
    return img;
}

// The still picture of the right band: a hooded elf in a night wood, holding
// up a lantern whose light falls on everything around it.
Image make_elf()
{
    const int W = 350, H = 600;
    Image img(W, H);
    const double lx = 262, ly = 262;   // the lantern
    Rng rng(95);
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            double t = y / (double)H;
            Colour c = mix({0.03, 0.04, 0.12}, {0.06, 0.12, 0.14}, t);
            double mist = fbm(x / 60.0, y / 25.0, 0, 0, 4, 0.5, 96);
            c = add(c, scale({0.10, 0.16, 0.18}, smoothstep(0.45, 0.8, mist) * smoothstep(250, 520, y)));
            img.set(x, y, c);
        }
    for (int i = 0; i < 140; i++) {   // stars between the tree tops
        int x = rng.below(W), y = rng.below(200);
        double k = rng.range(0.3, 1.0) * (1.0 - y / 220.0);
        img.blend(x, y, {0.9, 0.92, 1.0}, k);
    }
    Mask moon(W, H), bite(W, H);
    mask_disc(moon, 70, 62, 24);
    mask_disc(bite, 80, 55, 22);
    for (size_t i = 0; i < moon.v.size(); i++)
        moon.v[i] = std::max(0.0f, moon.v[i] - bite.v[i]);
    light(img, mask_blur(moon, 10), {0.3, 0.35, 0.45}, 0.6);
    paint(img, moon, {0.95, 0.93, 0.80});

    // Trees: dark trunks with a few branches, the far ones paler.
    auto tree = [&](double x, double width, double lean, Colour colour) {
        Mask m(W, H);
        mask_polygon(m, std::vector<Point>{{x - width, H}, {x + width, H}, {x + width * 0.4 + lean, -10}, {x - width * 0.4 + lean, -10}});
        for (int b = 0; b < 5; b++) {
            double by = 60 + b * 85 + rng.range(-20, 20), side = (b & 1) ? 1 : -1;
            double bx = x + lean * (1.0 - by / H);
            mask_stroke(m, quad_curve({bx, by + 20}, {bx + side * 30, by}, {bx + side * rng.range(50, 80), by - 30}, 12),
                        width * 0.18 + 1.0);
        }
        paint(img, m, colour);
    };
    tree(40, 14, 10, {0.08, 0.10, 0.16});
    tree(125, 7, -6, {0.10, 0.13, 0.20});
    tree(320, 20, -12, {0.05, 0.06, 0.10});
    Mask ground(W, H);
    std::vector<Point> mound = {{-5, H + 5}};
    for (int x = -5; x <= W + 5; x += 5)
        mound.push_back({(double)x, 540 - 25 * det::sin(x / 70.0) - 10 * fbm(x / 20.0, 0.5, 0, 0, 3, 0.5, 97)});
    mound.push_back({W + 5.0, H + 5.0});
    mask_polygon(ground, mound);
    paint_fn(img, ground, [&](int x, int y) {
        double n = fbm(x / 6.0, y / 6.0, 0, 0, 3, 0.5, 98);
        return mix(Colour{0.04, 0.10, 0.06}, Colour{0.10, 0.22, 0.10}, n);
    });

    // The elf: cloak, hood, face in profile, a pointed ear, silver hair.
    Mask cloak(W, H);
    mask_polygon(cloak, std::vector<Point>{{150, 175}, {196, 168}, {214, 230}, {222, 330}, {240, 450}, {262, 555},
                                           {175, 566}, {100, 560}, {118, 430}, {128, 300}, {134, 210}});
    paint_fn(img, cloak, [&](int x, int y) {
        double fold = 0.5 + 0.5 * det::sin(x / 7.0 + y / 60.0);
        return mix(Colour{0.04, 0.13, 0.08}, Colour{0.09, 0.26, 0.15}, fold * smoothstep(560, 200, y));
    });
    // Long silver hair falling from the hood down the back, with darker strands.
    Mask hair(W, H), strands(W, H);
    mask_polygon(hair, std::vector<Point>{{146, 150}, {170, 162}, {178, 220}, {176, 280}, {166, 318}, {150, 326},
                                          {140, 290}, {138, 220}});
    for (int i = 0; i < 7; i++) {
        double sx = 144 + i * 4.5;
        mask_stroke(strands, cubic_curve({sx, 170}, {sx - 6, 220}, {sx + 6, 260}, {sx - 4 + i * 1.5, 312.0}, 24), 0.7, 0.6);
    }
    paint_fn(img, hair, [&](int, int y) { return mix(Colour{0.82, 0.83, 0.88}, Colour{0.50, 0.52, 0.60}, clamp01((y - 150) / 180.0)); });
    paint(img, strands, {0.38, 0.40, 0.48});
    Mask face(W, H);
    mask_polygon(face, std::vector<Point>{{172, 118}, {190, 120}, {200, 132}, {206, 146}, {201, 150}, {204, 160},
                                          {198, 170}, {188, 178}, {172, 176}, {164, 150}});
    // Modelled from shade under the hood to the lit brow, nose and cheek.
    paint_fn(img, face, [&](int x, int y) {
        double lit = smoothstep(166, 202, x) * (1.0 - 0.35 * smoothstep(160, 178, y));
        return mix(Colour{0.48, 0.36, 0.34}, Colour{0.93, 0.81, 0.70}, lit);
    });
    Mask blush(W, H);
    mask_ellipse(blush, 189, 158, 7.0, 4.5, 0.3);
    paint(img, mask_blur(blush, 2.5), {0.92, 0.50, 0.46}, 0.45);
    Mask jaw(W, H);
    mask_stroke(jaw, quad_curve({170, 168}, {180, 178}, {196, 171}, 10), 1.4);
    paint(img, mask_blur(jaw, 1.5), {0.40, 0.28, 0.26}, 0.6);
    Mask ear(W, H), ear_inner(W, H);
    mask_polygon(ear, std::vector<Point>{{170, 138}, {150, 108}, {176, 146}});
    mask_stroke(ear_inner, quad_curve({166, 136}, {158, 122}, {154, 114}, 8), 1.0);
    paint(img, ear, {0.80, 0.66, 0.56});
    paint(img, ear_inner, {0.55, 0.38, 0.34}, 0.8);
    Mask hood(W, H);
    mask_polygon(hood, std::vector<Point>{{150, 176}, {138, 140}, {146, 106}, {168, 86}, {196, 90}, {206, 116},
                                          {190, 112}, {172, 120}, {164, 150}, {170, 180}});
    paint(img, hood, {0.06, 0.18, 0.11});
    // An almond eye with a green iris and a catch-light, a silver brow, the
    // nostril, the line of the lips.
    Mask eye_white(W, H), iris(W, H), lid(W, H), brow(W, H), nostril(W, H), lips(W, H), spark(W, H);
    mask_ellipse(eye_white, 193.5, 138.5, 4.0, 2.0, 0.15);
    mask_disc(iris, 195.0, 138.6, 1.7);
    mask_stroke(lid, quad_curve({189.0, 137.5}, {193.5, 135.4}, {198.0, 138.0}, 8), 0.75);
    mask_stroke(brow, quad_curve({186.0, 132.0}, {193.0, 128.0}, {200.0, 131.5}, 10), 1.1);
    mask_stroke(nostril, quad_curve({199.0, 150.0}, {201.5, 152.5}, {204.0, 151.0}, 6), 0.7);
    mask_stroke(lips, quad_curve({194.0, 161.0}, {198.5, 162.5}, {202.0, 160.0}, 8), 0.8);
    mask_disc(spark, 195.8, 137.9, 0.6);
    paint(img, eye_white, {0.92, 0.92, 0.88});
    for (size_t i = 0; i < iris.v.size(); i++)
        iris.v[i] = std::min(iris.v[i], eye_white.v[i]);
    paint(img, iris, {0.12, 0.45, 0.28});
    paint(img, lid, {0.22, 0.14, 0.14});
    paint(img, brow, {0.78, 0.79, 0.86});
    paint(img, nostril, {0.45, 0.30, 0.28}, 0.8);
    paint(img, lips, {0.62, 0.30, 0.30}, 0.9);
    paint(img, spark, {1.0, 1.0, 1.0});
    // Arm raised to the staff, and the staff with the lantern.
    Mask arm(W, H);
    mask_stroke(arm, quad_curve({205, 215}, {236, 250}, {246, 300}, 16), 9.0);
    paint(img, arm, {0.07, 0.20, 0.12});
    Mask hand(W, H);
    mask_disc(hand, 247, 300, 6.5);
    paint(img, hand, {0.84, 0.70, 0.58});
    Mask staff(W, H);
    mask_capsule(staff, 246, 560, 252, 220, 3.0);
    mask_stroke(staff, quad_curve({252, 222}, {256, 205}, {264, 214}, 10), 2.0);
    paint(img, staff, {0.30, 0.20, 0.12});
    Mask frame(W, H), pane(W, H);
    mask_capsule(frame, 264, 214, lx, ly - 22, 1.0);
    mask_polygon(frame, std::vector<Point>{{lx - 10, ly - 22}, {lx + 10, ly - 22}, {lx + 14, ly - 16}, {lx - 14, ly - 16}});
    mask_polygon(frame, std::vector<Point>{{lx - 12, ly + 16}, {lx + 12, ly + 16}, {lx + 8, ly + 22}, {lx - 8, ly + 22}});
    mask_polygon(pane, std::vector<Point>{{lx - 13, ly - 16}, {lx + 13, ly - 16}, {lx + 11, ly + 16}, {lx - 11, ly + 16}});
    paint(img, pane, {1.0, 0.86, 0.45});
    for (double fx : {-12.0, 0.0, 12.0})
        mask_capsule(frame, lx + fx, ly - 16, lx + fx * 0.9, ly + 16, 1.2);
    paint(img, frame, {0.55, 0.40, 0.16});

    // Lantern light: warm, falling off with distance, brightest on the cloak's right edge.
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            double dx = x - lx, dy = y - ly, d = std::sqrt(dx * dx + dy * dy);
            double k = 0.55 * det::exp(-d / 70.0) + 0.18 * det::exp(-d / 200.0);
            img.add_light(x, y, {1.0, 0.72, 0.32}, k);
        }
    Mask flame(W, H);
    mask_ellipse(flame, lx, ly + 2, 4.5, 9.0, 0.0);
    light(img, mask_blur(flame, 8), {1.0, 0.8, 0.4}, 2.0);
    paint(img, flame, {1.0, 1.0, 0.85});
    // Fireflies.
    for (int i = 0; i < 22; i++) {
        double x = rng.range(10, W - 10), y = rng.range(180, 560);
        Mask fly(W, H);
        mask_disc(fly, x, y, 1.3);
        light(img, mask_blur(fly, 4), {0.7, 1.0, 0.4}, 1.6);
        light(img, fly, {0.9, 1.0, 0.7}, 1.0);
    }
    return img;
}

// The strip between the bars: a golden chain of emerald lanterns, one every
// 75 rows, so that 600 rows hold exactly eight and the strip tiles.
Image make_strip()
{
    const int W = 79, H = 600, PERIOD = 75;
    Image img(W, H);
    const double cx = W / 2.0;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            double edge = std::fabs(x + 0.5 - cx) / cx;
            Colour c = mix({0.05, 0.09, 0.07}, {0.01, 0.02, 0.02}, edge * edge);
            double weave = 0.5 + 0.5 * det::sin(det::TWO_PI * (x / 12.0 + y / 25.0)) * det::sin(det::TWO_PI * (x / 12.0 - y / 25.0));
            c = add(c, scale({0.02, 0.05, 0.03}, weave));
            img.set(x, y, c);
        }
    Mask chain(W, H), gem(W, H), gem_light(W, H), frame(W, H), beads(W, H);
    for (int k = -1; k <= H / PERIOD; k++) {
        double gy = k * PERIOD + PERIOD / 2.0;
        mask_capsule(chain, cx, gy - PERIOD / 2.0 - 2, cx, gy + PERIOD / 2.0 + 2, 1.3);
        for (int b = -1; b <= 1; b += 2)
            mask_ring(beads, cx, gy + b * 26, 4.0, 1.3);
        std::vector<Point> diamond = {{cx, gy - 19}, {cx + 15, gy}, {cx, gy + 19}, {cx - 15, gy}};
        std::vector<Point> outer = {{cx, gy - 23}, {cx + 19, gy}, {cx, gy + 23}, {cx - 19, gy}};
        mask_polygon(frame, outer);
        mask_polygon(gem, diamond);
        mask_polygon(gem_light, std::vector<Point>{{cx, gy - 15}, {cx + 5, gy - 5}, {cx, gy}, {cx - 8, gy - 4}});
        mask_disc(frame, cx - 22, gy, 2.6);
        mask_disc(frame, cx + 22, gy, 2.6);
    }
    paint(img, chain, {0.70, 0.55, 0.20});
    paint(img, beads, {0.85, 0.70, 0.28});
    paint_fn(img, frame, [&](int, int y) {
        double t = (y % PERIOD) / (double)PERIOD;
        return mix(Colour{0.95, 0.80, 0.35}, Colour{0.55, 0.38, 0.12}, t);
    });
    paint_fn(img, gem, [&](int x, int y) {
        double t = std::fabs(x + 0.5 - cx) / 15.0 + ((y % PERIOD) - PERIOD / 2.0) / 40.0;
        return mix(Colour{0.15, 0.85, 0.45}, Colour{0.02, 0.30, 0.15}, clamp01(t));
    });
    paint(img, gem_light, {0.75, 1.0, 0.85}, 0.8);
    Mask halo = mask_blur(gem, 6, false, true);
    light(img, halo, {0.1, 0.5, 0.25}, 0.5);
    return img;
}
