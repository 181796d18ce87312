// pictures_world.cpp — the backgrounds of scenes 4 to 6 (a gnome with a bird
// in a meadow, a summer road, a city at the end of the day) and the leaves.
#include "detmath.h"
#include "pictures.h"
#include <algorithm>
#include <cmath>

namespace {

const int W = 800, H = 600;

void sky(Image &img, Colour top, Colour bottom, double horizon, double curve)
{
    for (int y = 0; y < img.h; y++)
        for (int x = 0; x < img.w; x++)
            img.set(x, y, mix(top, bottom, det::pow(clamp01(y / horizon), curve)));
}

void sun_glow(Image &img, double cx, double cy, double radius, Colour colour, double strength)
{
    for (int y = 0; y < img.h; y++)
        for (int x = 0; x < img.w; x++) {
            double d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
            img.add_light(x, y, colour, strength * (det::exp(-d / radius) + 1.5 * det::exp(-(d / (radius * 0.35)) * (d / (radius * 0.35)))));
        }
}

// Soft fair-weather clouds of stretched noise within a band of rows.
void clouds(Image &img, double top, double bottom, double coverage, uint64_t seed, Colour lit, Colour shade)
{
    for (int y = (int)top; y < (int)bottom; y++)
        for (int x = 0; x < img.w; x++) {
            double n = fbm(x / 150.0, y / 45.0, 0, 0, 5, 0.5, seed);
            double band = smoothstep(top, top + 40, y) * smoothstep(bottom, bottom - 60, y);
            double cover = smoothstep(1.0 - coverage, 1.0 - coverage + 0.2, n) * band;
            if (cover <= 0)
                continue;
            double above = fbm(x / 150.0, (y - 8) / 45.0, 0, 0, 5, 0.5, seed);
            Colour c = mix(shade, lit, clamp01(0.6 + (n - above) * 6.0));
            img.blend(x, y, c, cover * 0.92);
        }
}

// A silhouette between a ridge line and the bottom, filled by colour(x, y).
template <class Ridge, class Fill> void land(Image &img, Ridge ridge, Fill colour)
{
    for (int x = 0; x < img.w; x++) {
        double top = ridge(x);
        for (int y = std::max(0, (int)top); y < img.h; y++) {
            double cover = clamp01(y + 1 - top);
            img.blend(x, y, colour(x, y), cover);
        }
    }
}

// A round-crowned tree: trunk, a canopy of lumps lit from the upper right.
void tree(Image &img, double x, double ground, double size, uint64_t seed, Colour leaf, Colour trunk_colour)
{
    Rng rng(seed);
    Mask trunk(img.w, img.h), crown(img.w, img.h), crown_light(img.w, img.h);
    mask_polygon(trunk, std::vector<Point>{{x - size * 0.08, ground}, {x + size * 0.08, ground},
                                           {x + size * 0.04, ground - size * 0.7}, {x - size * 0.04, ground - size * 0.7}});
    for (int i = 0; i < 14; i++) {
        double a = rng.range(0, det::TWO_PI), r = rng.range(0, size * 0.32);
        double cx = x + det::cos(a) * r * 1.2, cy = ground - size * 0.82 + det::sin(a) * r * 0.8;
        double rr = rng.range(0.18, 0.3) * size;
        mask_disc(crown, cx, cy, rr);
        mask_disc(crown_light, cx + rr * 0.25, cy - rr * 0.3, rr * 0.7, 0.8);
    }
    paint(img, trunk, trunk_colour);
    paint(img, crown, leaf);
    for (size_t i = 0; i < crown_light.v.size(); i++)
        crown_light.v[i] = std::min(crown_light.v[i], crown.v[i]);
    paint(img, crown_light, mix(leaf, {0.9, 0.95, 0.5}, 0.3), 0.7);
}

}  // namespace

// ---- scene 4 -----------------------------------------------------------------------

// A meadow on a hazy spring morning; a gnome in a red cap stands on a knoll
// with a robin perched on the tip of his cap. Grass and cubes stand in front
// of the lower half in the show, so he fills the upper middle.
//
// The cubes are lime, darkened by depth: bright when they swing near, dull
// olive when far. Only a light ground sets off both, so everything the cubes
// fly over is high-key: a pale sky, misty hills, trees in pale blossom and a
// sunlit meadow, all clearly lighter than the nearest cube. The gnome's
// cap, mittens and toadstools stay strongly red; his coat is pale blue.
Image make_birdgnome()
{
    Image img(W, H);
    sky(img, {0.62, 0.78, 0.95}, {1.0, 0.95, 0.86}, 340, 1.3);
    sun_glow(img, 640, 110, 90, {1.0, 0.92, 0.75}, 0.3);
    clouds(img, 20, 260, 0.38, 111, {1.0, 0.99, 0.96}, {0.82, 0.84, 0.90});
    land(img, [](int x) { return 300 - 40 * fbm(x / 160.0, 0.5, 0, 0, 3, 0.5, 112); },
         [](int, int y) { return mix(Colour{0.76, 0.83, 0.90}, Colour{0.74, 0.84, 0.80}, clamp01((y - 260) / 80.0)); });
    land(img, [](int x) { return 350 - 30 * det::sin(x / 130.0 + 1.0) - 15 * fbm(x / 60.0, 0.5, 0, 0, 3, 0.5, 113); },
         [](int x, int y) {
             double n = fbm(x / 30.0, y / 15.0, 0, 0, 3, 0.5, 114);
             return mix(Colour{0.66, 0.79, 0.74}, Colour{0.78, 0.88, 0.82}, n);
         });
    tree(img, 120, 360, 260, 115, {0.95, 0.80, 0.86}, {0.42, 0.30, 0.24});
    tree(img, 700, 345, 150, 116, {0.98, 0.88, 0.90}, {0.44, 0.32, 0.26});
    // The knoll under the gnome and the meadow towards the viewer: sunlit,
    // with warm tufts; darker only below row 530, under the leaves.
    land(img, [](int x) { return 455 - 70 * det::exp(-((x - 400) / 190.0) * ((x - 400) / 190.0)); },
         [](int x, int y) {
             double n = fbm(x / 12.0, y / 8.0, 0, 0, 4, 0.55, 117);
             double tint = fbm(x / 90.0, y / 40.0, 0, 0, 2, 0.5, 119);
             Colour lit = mix(Colour{0.74, 0.84, 0.62}, Colour{0.84, 0.82, 0.66}, tint);
             Colour c = mix(lit, Colour{0.96, 0.90, 0.66}, n * n);
             return mix(c, Colour{0.20, 0.30, 0.22}, smoothstep(520, 580, y));
         });
    Rng rng(118);
    const Colour petals[4] = {{1.0, 0.95, 0.95}, {1.0, 0.85, 0.2}, {0.95, 0.45, 0.6}, {0.7, 0.6, 1.0}};
    std::vector<Mask> flowers(4, Mask(W, H));
    for (int i = 0; i < 500; i++) {
        double x = rng.range(0, W), y = rng.range(400, H), r = 0.8 + (y - 400) / 100.0;
        mask_disc(flowers[rng.below(4)], x, y, r);
    }
    for (int k = 0; k < 4; k++)
        paint(img, flowers[k], petals[k]);
    // Toadstools by the knoll.
    for (double mx : {250.0, 560.0}) {
        Mask stem(W, H), cap(W, H), dots(W, H);
        double s = mx < 400 ? 1.0 : 0.8, my = 440;
        mask_polygon(stem, std::vector<Point>{{mx - 7 * s, my}, {mx + 7 * s, my}, {mx + 5 * s, my - 26 * s}, {mx - 5 * s, my - 26 * s}});
        mask_ellipse(cap, mx, my - 26 * s, 22 * s, 14 * s, 0.0);
        for (int d = 0; d < 5; d++)
            mask_disc(dots, mx - 12 * s + d * 6 * s, my - 32 * s + ((d & 1) ? 4 : 0) * s, 2.5 * s);
        paint(img, stem, {0.92, 0.88, 0.78});
        paint(img, cap, {0.85, 0.12, 0.10});
        for (size_t i = 0; i < dots.v.size(); i++)
            dots.v[i] = std::min(dots.v[i], cap.v[i]);
        paint(img, dots, {1.0, 1.0, 0.95});
    }

    // The gnome.
    const double gx = 400;
    Mask boots(W, H), coat(W, H), belt(W, H), buckle(W, H), face(W, H), nose(W, H), beard(W, H), hat(W, H),
        hat_light(W, H), arms(W, H), mitts(W, H), eyes(W, H), cheeks(W, H);
    mask_ellipse(boots, gx - 28, 452, 24, 12, 0.0);
    mask_ellipse(boots, gx + 28, 452, 24, 12, 0.0);
    mask_polygon(coat, std::vector<Point>{{gx - 60, 446}, {gx + 60, 446}, {gx + 46, 330}, {gx + 30, 290}, {gx - 30, 290},
                                          {gx - 46, 330}});
    mask_polygon(belt, std::vector<Point>{{gx - 52, 392}, {gx + 52, 392}, {gx + 50, 378}, {gx - 50, 378}});
    mask_polygon(buckle, std::vector<Point>{{gx - 10, 394}, {gx + 10, 394}, {gx + 10, 376}, {gx - 10, 376}});
    mask_stroke(arms, quad_curve({gx - 40, 310}, {gx - 78, 340}, {gx - 70, 376}, 14), 13);
    mask_stroke(arms, quad_curve({gx + 40, 310}, {gx + 84, 300}, {gx + 96, 250}, 14), 13);   // waving
    mask_disc(mitts, gx - 70, 382, 12);
    mask_disc(mitts, gx + 98, 240, 12);
    mask_disc(face, gx, 262, 34);
    for (int i = 0; i < 9; i++) {   // a beard of soft curls
        double a = det::PI * (0.1 + 0.8 * i / 8.0);
        mask_disc(beard, gx + 40 * det::cos(a), 270 + 18 * det::sin(a), 17);
    }
    mask_polygon(beard, std::vector<Point>{{gx - 40, 272}, {gx + 40, 272}, {gx + 16, 350}, {gx, 362}, {gx - 16, 350}});
    mask_disc(nose, gx, 268, 11);
    mask_ellipse(eyes, gx - 14, 253, 3.2, 4.2, 0.0);
    mask_ellipse(eyes, gx + 14, 253, 3.2, 4.2, 0.0);
    mask_disc(cheeks, gx - 22, 268, 7, 0.5);
    mask_disc(cheeks, gx + 22, 268, 7, 0.5);
    auto tip = quad_curve({gx - 44, 240}, {gx - 20, 140}, {gx + 46, 108}, 30);
    std::vector<Point> cone = {{gx - 48, 246}, {gx + 48, 246}};
    for (int i = 0; i <= 30; i++) {   // the cap flops over to one side
        double t = i / 30.0;
        cone.push_back({gx + 48 - 10 * t + (46 - 48 + 10 * t) * t, 246 - 138 * t});
    }
    cone.push_back({gx + 46, 108});
    for (int i = 30; i >= 0; i--)
        cone.push_back(tip[i]);
    mask_polygon(hat, cone);
    mask_polygon(hat_light, std::vector<Point>{{gx + 6, 244}, {gx + 40, 244}, {gx + 34, 150}, {gx + 40, 116}, {gx + 10, 170}});
    paint(img, boots, {0.30, 0.18, 0.10});
    // A pale blue coat: the far cubes, dull olive, pass in front of it.
    paint_fn(img, coat, [&](int x, int) { return mix(Colour{0.62, 0.76, 0.98}, Colour{0.50, 0.66, 0.92}, clamp01((x - gx + 40) / 100.0)); });
    paint(img, belt, {0.12, 0.08, 0.06});
    paint(img, buckle, {0.95, 0.78, 0.25});
    paint(img, arms, {0.52, 0.68, 0.94});
    paint(img, mitts, {0.80, 0.20, 0.15});
    paint(img, face, {0.96, 0.78, 0.66});
    paint(img, cheeks, {0.95, 0.50, 0.45});
    paint_fn(img, beard, [&](int, int y) { return mix(Colour{1.0, 1.0, 0.98}, Colour{0.80, 0.82, 0.86}, clamp01((y - 260) / 100.0)); });
    paint(img, nose, {0.98, 0.66, 0.56});
    paint(img, eyes, {0.10, 0.08, 0.08});
    paint(img, hat, {0.62, 0.05, 0.07});   // deep red: the near cubes swing past it bright
    for (size_t i = 0; i < hat_light.v.size(); i++)
        hat_light.v[i] = std::min(hat_light.v[i], hat.v[i]);
    paint(img, hat_light, {0.80, 0.16, 0.14}, 0.5);

    // The robin on the cap's tip.
    const double bx = gx + 52, by = 96;
    Mask body(W, H), breast(W, H), head(W, H), beak(W, H), eye(W, H), tail(W, H), legs(W, H), wing(W, H);
    mask_capsule(legs, bx - 4, by + 8, bx - 6, by + 16, 1.0);
    mask_capsule(legs, bx + 4, by + 8, bx + 2, by + 16, 1.0);
    mask_polygon(tail, std::vector<Point>{{bx - 14, by}, {bx - 36, by - 14}, {bx - 34, by - 4}, {bx - 12, by + 6}});
    mask_ellipse(body, bx, by, 18, 13, -0.2);
    mask_ellipse(breast, bx + 8, by + 3, 10, 10, 0.0);
    mask_ellipse(wing, bx - 4, by - 2, 12, 7, -0.3);
    mask_disc(head, bx + 14, by - 12, 9.5);
    mask_polygon(beak, std::vector<Point>{{bx + 22, by - 15}, {bx + 32, by - 12}, {bx + 22, by - 9}});
    mask_disc(eye, bx + 17, by - 14, 1.8);
    paint(img, legs, {0.25, 0.18, 0.12});
    paint(img, tail, {0.40, 0.28, 0.18});
    paint(img, body, {0.48, 0.34, 0.22});
    paint(img, head, {0.48, 0.34, 0.22});
    for (size_t i = 0; i < breast.v.size(); i++)
        breast.v[i] = std::min(breast.v[i], std::max(body.v[i], head.v[i]));
    paint(img, breast, {0.95, 0.45, 0.15});
    paint(img, wing, {0.36, 0.25, 0.16});
    paint(img, beak, {0.25, 0.20, 0.15});
    paint(img, eye, {0.05, 0.05, 0.05});
    // Two more birds far off.
    Mask far_birds(W, H);
    for (auto p : std::vector<Point>{{560, 60}, {600, 84}}) {
        mask_stroke(far_birds, quad_curve({p.x - 12, p.y}, {p.x - 6, p.y - 6}, {p.x, p.y}, 6), 1.2);
        mask_stroke(far_birds, quad_curve({p.x, p.y}, {p.x + 6, p.y - 6}, {p.x + 12, p.y}, 6), 1.2);
    }
    paint(img, far_birds, {0.25, 0.25, 0.30});
    return img;
}

// Leaves along the bottom of scene 4, light on black (green becomes alpha).
// The strip repeats every 800 columns, so each leaf is drawn again 800 to the side.
Image make_leaves()
{
    const int LW = 800, LH = 70;
    Mask leaf_mask(LW, LH), veins(LW, LH);
    Rng rng(120);
    for (int i = 0; i < 110; i++) {
        double x = rng.range(0, LW), y = rng.range(20, LH + 10), len = rng.range(14, 30), angle = rng.range(-2.6, -0.5);
        double width = len * rng.range(0.3, 0.45), tone = rng.range(0.65, 1.0);
        for (double shift : {-800.0, 0.0, 800.0}) {
            double cx = x + shift, ux = det::cos(angle), uy = det::sin(angle);
            double tipx = cx + ux * len, tipy = y + uy * len;
            // A pointed leaf: two arcs meeting at stalk and tip.
            std::vector<Point> outline;
            for (int k = 0; k <= 16; k++) {
                double t = k / 16.0, bulge = width * det::sin(det::PI * t) * (1.0 - 0.3 * t);
                outline.push_back({cx + ux * len * t - uy * bulge, y + uy * len * t + ux * bulge});
            }
            for (int k = 16; k >= 0; k--) {
                double t = k / 16.0, bulge = width * det::sin(det::PI * t) * (1.0 - 0.3 * t);
                outline.push_back({cx + ux * len * t + uy * bulge, y + uy * len * t - ux * bulge});
            }
            mask_polygon(leaf_mask, outline, tone);
            mask_capsule(veins, cx - ux * 4, y - uy * 4, tipx - ux * 3, tipy - uy * 3, 0.6, 1.0);
        }
    }
    Mask m(LW, LH);
    for (size_t i = 0; i < m.v.size(); i++)
        m.v[i] = (float)(leaf_mask.v[i] * (1.0 - 0.45 * veins.v[i]));
    return grey_image(m);
}

// ---- scene 5 -----------------------------------------------------------------------

// A country road in summer, drawn in the same perspective as the show's 3D
// car: eye height 2000 model units above the road, focal length 500 pixels,
// horizon on row 300, so the car stands on the road at every depth.
Image make_summerroad()
{
    Image img(W, H);
    const double HORIZON = 300, EYE = 2000, FOCAL = 500;
    sky(img, {0.25, 0.50, 0.88}, {0.82, 0.90, 0.97}, HORIZON, 1.2);
    sun_glow(img, 650, 80, 70, {1.0, 0.95, 0.8}, 0.4);
    clouds(img, 30, 240, 0.42, 130, {1.0, 1.0, 1.0}, {0.72, 0.76, 0.86});
    land(img, [](int x) { return 300 - 22 * fbm(x / 120.0, 0.5, 0, 0, 3, 0.5, 131) - 4; },
         [](int, int) { return Colour{0.50, 0.64, 0.72}; });
    // Fields: wheat on the left, meadow on the right, rows running to the horizon.
    for (int y = (int)HORIZON; y < H; y++)
        for (int x = 0; x < W; x++) {
            double depth = EYE * FOCAL / (y + 0.5 - HORIZON);   // model units
            double across = (x + 0.5 - 400) * depth / FOCAL;
            double haze = clamp01(depth / 120000.0);
            Colour c;
            if (across < 0) {
                double rows = 0.5 + 0.5 * det::sin(across / 450.0);
                c = mix({0.80, 0.66, 0.28}, {0.93, 0.80, 0.40}, rows * (1.0 - haze));
            } else {
                double rows = 0.5 + 0.5 * det::sin(across / 900.0 + depth / 9000.0);
                c = mix({0.30, 0.52, 0.16}, {0.45, 0.66, 0.24}, rows * (1.0 - haze));
            }
            c = scale(c, 0.92 + 0.16 * fbm(x / 20.0, y / 6.0, 0, 0, 2, 0.5, 132));
            c = mix(c, {0.62, 0.72, 0.78}, haze * 0.7);
            // The road: 7000 wide, with verges, edge lines and a dashed centre line.
            double half = 3500;
            double a = std::fabs(across);
            double verge = smoothstep(half + 1400, half + 1000, a);
            c = mix(c, mix(Colour{0.62, 0.55, 0.42}, c, haze), verge);
            double road = smoothstep(half + 30, half - 30, a);
            double tar = 0.30 + 0.05 * (value_noise(x / 1.5, y / 1.5, 0, 0, 133) - 0.5);
            Colour asphalt = mix(Colour{tar, tar, tar + 0.02}, {0.55, 0.60, 0.66}, haze * 0.8);
            c = mix(c, asphalt, road);
            double pixel = depth / FOCAL;   // model units per pixel at this row
            double edge_line = smoothstep(pixel + 80, 0, std::fabs(a - (half - 250)));
            double dash = std::fmod(depth, 9000.0) < 4500.0 ? 1.0 : 0.0;
            double centre = smoothstep(pixel + 70, 0, a) * dash;
            c = mix(c, {0.92, 0.92, 0.88}, clamp01(edge_line + centre) * (1.0 - haze * 0.6));
            img.set(x, y, c);
        }
    // The car's shadow on the road where it drives: it swings between 16000
    // and 24000 deep, so its wheels meet the road between rows 342 and 362.
    // Soft, so it reads as the car's shadow wherever the car is on its path,
    // and stays on the road while the car hops.
    {
        Mask shadow(W, H);
        mask_ellipse(shadow, 400, 353, 74, 10, 0.0, 1.0);
        paint(img, mask_blur(shadow, 7), {0.05, 0.05, 0.07}, 0.45);
    }
    // Trees and poles along the road, far ones first.
    Rng rng(134);
    for (double depth = 120000; depth > 12000; depth *= 0.82) {
        double sx_scale = FOCAL / depth;
        double ground = HORIZON + EYE * sx_scale;
        for (int side = -1; side <= 1; side += 2) {
            double across = side * (6500 + rng.range(0, 5000));
            if (rng.uniform() < 0.45)   // gaps in the row let the fields show
                continue;
            double x = 400 + across * sx_scale;
            if (x < -100 || x > W + 100)
                continue;
            double size = 6500 * sx_scale * rng.range(0.8, 1.3);
            double haze = clamp01(depth / 120000.0);
            Colour leaf = mix({0.16, 0.38, 0.12}, {0.55, 0.66, 0.72}, haze * 0.8);
            Colour bark = mix({0.30, 0.22, 0.14}, {0.55, 0.62, 0.70}, haze * 0.8);
            if (size > 3)
                tree(img, x, ground, size, rng.next(), leaf, bark);
        }
    }
    return img;
}

// ---- scene 6 -----------------------------------------------------------------------

// A city at the end of the day: warm low sun, three layers of buildings, lit
// windows. The words of the scene are dark, so the sky stays light.
Image make_cityscape()
{
    Image img(W, H);
    sky(img, {0.50, 0.66, 0.88}, {1.0, 0.82, 0.62}, 440, 1.1);
    sun_glow(img, 590, 400, 110, {1.0, 0.70, 0.40}, 0.45);
    clouds(img, 40, 300, 0.3, 140, {1.0, 0.88, 0.80}, {0.78, 0.62, 0.66});
    Rng rng(141);
    struct Layer {
        double base, min_h, max_h, min_w, max_w;
        Colour wall, window;
        double lit;
    };
    // Four layers from the far towers, pale in the haze, to the dark blocks in
    // front; each lights its windows unevenly.
    const Layer layers[4] = {
        {400, 50, 150, 22, 50, {0.70, 0.66, 0.78}, {0.86, 0.78, 0.72}, 0.0},
        {435, 60, 180, 30, 70, {0.54, 0.54, 0.68}, {0.90, 0.80, 0.66}, 0.12},
        {475, 90, 260, 40, 90, {0.34, 0.34, 0.48}, {1.0, 0.82, 0.45}, 0.3},
        {525, 70, 220, 60, 130, {0.13, 0.13, 0.21}, {1.0, 0.78, 0.40}, 0.45},
    };
    const Colour window_tints[4] = {{1.0, 0.82, 0.45}, {1.0, 0.70, 0.36}, {0.95, 0.92, 0.78}, {0.62, 0.78, 1.0}};
    for (int li = 0; li < 4; li++) {
        const Layer &layer = layers[li];
        double x = -rng.range(0, 40);
        while (x < W) {
            double bw = rng.range(layer.min_w, layer.max_w), bh = rng.range(layer.min_h, layer.max_h);
            double top = layer.base - bh;
            Mask m(W, H);
            mask_polygon(m, std::vector<Point>{{x, H}, {x + bw, H}, {x + bw, top}, {x, top}});
            int roof = rng.below(4);
            if (roof == 1)   // a spire
                mask_polygon(m, std::vector<Point>{{x + bw * 0.3, top}, {x + bw * 0.7, top}, {x + bw * 0.5, top - bh * 0.35}});
            else if (roof == 2)   // an antenna
                mask_capsule(m, x + bw * 0.6, top, x + bw * 0.6, top - 40, 1.2);
            else if (roof == 3)   // a stepped top
                mask_polygon(m, std::vector<Point>{{x + bw * 0.2, top}, {x + bw * 0.8, top}, {x + bw * 0.8, top - 18}, {x + bw * 0.2, top - 18}});
            // Sunlit edge on the side facing the sun.
            paint_fn(img, m, [&](int px, int) {
                double k = clamp01((px - x) / bw);
                return mix(layer.wall, mix(layer.wall, {1.0, 0.75, 0.5}, 0.25), k * k);
            });
            // Windows on a grid: each building, and each floor of it, has its own
            // share lit, in warm lamp light, cold screens or pale neon, some dim.
            if (layer.lit > 0) {
                Mask dark_windows(W, H);
                std::vector<Mask> lit_windows(4, Mask(W, H));
                int li_eff = li - 1;
                double ww = 4 + li_eff * 1.5, wh = 5 + li_eff * 2, gap = 4 + li_eff;
                double building_lit = layer.lit * rng.range(0.2, 1.9);
                for (double wy = top + 8; wy + wh < H - 20; wy += wh + gap) {
                    double floor_lit = rng.uniform() < 0.15 ? 0.85 : building_lit * rng.range(0.3, 1.4);
                    for (double wx = x + 6; wx + ww < x + bw - 4; wx += ww + gap) {
                        std::vector<Point> pane = {{wx, wy}, {wx + ww, wy}, {wx + ww, wy + wh}, {wx, wy + wh}};
                        if (rng.uniform() < floor_lit)
                            mask_polygon(lit_windows[rng.below(8) < 5 ? 0 : 1 + rng.below(3)], pane,
                                         rng.range(0.45, 1.0));
                        else
                            mask_polygon(dark_windows, pane);
                    }
                }
                paint(img, dark_windows, scale(layer.wall, 0.75));
                for (int k = 0; k < 4; k++)
                    paint(img, lit_windows[k], mix(layer.window, window_tints[k], 0.6));
            }
            x += bw + rng.range(-10, 12);
        }
        // Haze between the layers: a mist rising from each layer's foot, thicker
        // behind the nearer ones, so the layers part from each other.
        double thickness = 0.34 - 0.07 * li;
        for (int y = 0; y < H; y++)
            for (int xx = 0; xx < W; xx++)
                if (y > layer.base - 120)
                    img.blend(xx, y, {0.92, 0.78, 0.70}, thickness * smoothstep(layer.base - 120, layer.base + 30, y));
    }
    // Street lamps along the bottom.
    for (double x = 30; x < W; x += 95) {
        Mask pole(W, H), lamp(W, H);
        mask_capsule(pole, x, H, x, 540, 1.6);
        mask_capsule(pole, x, 540, x + 12, 536, 1.4);
        mask_disc(lamp, x + 14, 538, 3.2);
        paint(img, pole, {0.08, 0.08, 0.12});
        light(img, mask_blur(lamp, 12), {1.0, 0.8, 0.5}, 3.0);
        paint(img, lamp, {1.0, 0.95, 0.8});
    }
    return img;
}
