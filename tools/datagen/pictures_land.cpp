// pictures_land.cpp — scene 1: the ground's height and colour maps, the sky
// and far landscape, the sun flare and the three title cards.
//
// The ground maps are seen in perspective: a map column is a screen column and
// a map row one step of depth, so rows must wrap (row 255 meets row 0) while
// the flight scrolls through them. All noise here repeats every 256 rows.
#include "detmath.h"
#include "pictures.h"
#include "text.h"
#include <algorithm>
#include <cmath>

namespace {

const int MAP_W = 800, MAP_H = 256;

// A winding track through the ground, the same in every season: ski tracks
// in the snow, ruts in the mud, a footpath in the grass.
double track_x(double row)
{
    return 400.0 + 95.0 * det::sin(det::TWO_PI * row / MAP_H) + 35.0 * det::sin(det::TWO_PI * 2.0 * row / MAP_H + 1.0);
}

struct HeightField {
    std::vector<double> h;   // 0..1, MAP_W x MAP_H
    double at(int x, int y) const
    {
        x = (x % MAP_W + MAP_W) % MAP_W;
        y = (y % MAP_H + MAP_H) % MAP_H;
        return h[(size_t)y * MAP_W + x];
    }
    // Brightness of the ground lit from the left and from behind the viewer.
    double lighting(int x, int y) const
    {
        double gx = at(x - 3, y) - at(x + 3, y), gy = at(x, y + 3) - at(x, y - 3);
        return std::min(1.25, std::max(0.45, 0.82 + 2.6 * gx + 2.2 * gy));
    }
};

void normalise(std::vector<double> &h, double lo, double hi)
{
    double mn = 1e30, mx = -1e30;
    for (double v : h) {
        mn = std::min(mn, v);
        mx = std::max(mx, v);
    }
    for (double &v : h)
        v = lo + (hi - lo) * (v - mn) / (mx - mn);
}

// Muddy ground: rolling hills with lumps and bumps on them.
const HeightField &muddy_heights()
{
    static HeightField f;
    if (!f.h.empty())
        return f;
    f.h.resize((size_t)MAP_W * MAP_H);
    for (int y = 0; y < MAP_H; y++)
        for (int x = 0; x < MAP_W; x++) {
            double hills = fbm(x * 8.0 / MAP_W, y * 3.0 / MAP_H, 8, 3, 3, 0.45, 101);
            double bumps = fbm(x * 40.0 / MAP_W, y * 12.0 / MAP_H, 40, 12, 3, 0.5, 202);
            double grit = value_noise(x * 160.0 / MAP_W, y * 48.0 / MAP_H, 160, 48, 303);
            f.h[(size_t)y * MAP_W + x] = 0.62 * hills + 0.32 * bumps + 0.06 * grit;
        }
    normalise(f.h, 0.02, 0.98);
    return f;
}

// Grassy ground: broader, smoother hills.
const HeightField &grassy_heights()
{
    static HeightField f;
    if (!f.h.empty())
        return f;
    f.h.resize((size_t)MAP_W * MAP_H);
    for (int y = 0; y < MAP_H; y++)
        for (int x = 0; x < MAP_W; x++) {
            double hills = fbm(x * 5.0 / MAP_W, y * 2.0 / MAP_H, 5, 2, 3, 0.4, 404);
            double swells = fbm(x * 20.0 / MAP_W, y * 6.0 / MAP_H, 20, 6, 2, 0.5, 505);
            double hummocks = value_noise(x * 60.0 / MAP_W, y * 20.0 / MAP_H, 60, 20, 606);
            f.h[(size_t)y * MAP_W + x] = 0.75 * hills + 0.2 * swells + 0.05 * hummocks;
        }
    normalise(f.h, 0.03, 0.97);
    return f;
}

Image height_image(const HeightField &f)
{
    Image img(MAP_W, MAP_H);
    for (int y = 0; y < MAP_H; y++)
        for (int x = 0; x < MAP_W; x++) {
            double v = f.at(x, y);
            img.set(x, y, {v, v, v});
        }
    return img;
}

// Ground detail: a fine two-octave grain around 0.
double grain(int x, int y, uint64_t seed)
{
    return fbm(x * 200.0 / MAP_W, y * 64.0 / MAP_H, 200, 64, 2, 0.5, seed) - 0.5;
}

// Stamps a small shape at (x, y) and again one map height above and below,
// so that it continues across the seam.
template <class Draw> void stamp_wrapped(double y, Draw draw)
{
    draw(y);
    if (y < 12)
        draw(y + MAP_H);
    if (y > MAP_H - 12)
        draw(y - MAP_H);
}

// Distance of column x from the track at row y, and the side (-1 left, 1 right).
double track_offset(int x, int y) { return x + 0.5 - track_x(y + 0.5); }

}  // namespace

Image make_bg_muddy_bumps() { return height_image(muddy_heights()); }
Image make_bg_grassybumps() { return height_image(grassy_heights()); }

Image make_bg_snow()
{
    const HeightField &f = muddy_heights();
    Image img(MAP_W, MAP_H);
    Colour shadow = {0.58, 0.68, 0.88}, lit = {0.97, 0.98, 1.0};
    for (int y = 0; y < MAP_H; y++)
        for (int x = 0; x < MAP_W; x++) {
            double l = (f.lighting(x, y) - 0.45) / 0.8;
            double ripple = 0.035 * det::sin(det::TWO_PI * (x / 23.0 + y / 64.0 * 3.0 +
                                                            2.0 * fbm(x * 10.0 / MAP_W, y * 4.0 / MAP_H, 10, 4, 2, 0.5, 11)));
            Colour c = mix(shadow, lit, clamp01(l * 1.1 + 0.2 + ripple));
            double g = grain(x, y, 12) * 0.06;
            c = add(c, {g, g, g * 0.7});
            // Ski tracks: two shallow grooves, shadowed on one side.
            double off = track_offset(x, y);
            for (double rail : {-6.0, 6.0}) {
                double d = std::fabs(off - rail);
                double groove = 1.0 - smoothstep(1.0, 2.6, d);
                c = mix(c, {0.55, 0.64, 0.84}, groove * 0.8);
            }
            img.set(x, y, c);
        }
    Rng rng(13);
    for (int i = 0; i < 2200; i++) {   // glitter on the crust
        int x = rng.below(MAP_W), y = rng.below(MAP_H);
        double k = rng.range(0.3, 1.0);
        img.set(x, y, mix(img.get(x, y), {1.0, 1.0, 1.0}, k));
    }
    Mask drifts(MAP_W, MAP_H);   // a few bare tussocks poking through
    for (int i = 0; i < 35; i++) {
        double x = rng.range(0, MAP_W), y = rng.range(0, MAP_H), r = rng.range(0.8, 2.2);
        stamp_wrapped(y, [&](double yy) { mask_ellipse(drifts, x, yy, r * 1.8, r, 0.0, 0.8); });
    }
    paint(img, drifts, {0.42, 0.40, 0.33});
    return img;
}

Image make_bg_muddy()
{
    const HeightField &f = muddy_heights();
    Image img(MAP_W, MAP_H);
    Colour dark = {0.20, 0.13, 0.08}, light_mud = {0.47, 0.35, 0.22}, wet = {0.13, 0.085, 0.05};
    Colour sky = {0.64, 0.70, 0.78};
    for (int y = 0; y < MAP_H; y++)
        for (int x = 0; x < MAP_W; x++) {
            double n = fbm(x * 16.0 / MAP_W, y * 6.0 / MAP_H, 16, 6, 4, 0.55, 21);
            Colour c = mix(dark, light_mud, clamp01((n - 0.3) * 2.0));
            c = scale(c, f.lighting(x, y));
            double g = grain(x, y, 22) * 0.10;
            c = add(c, {g, g * 0.8, g * 0.6});
            // Rain gathers in the hollows: wet rims, then puddles that mirror the sky.
            double h = f.at(x, y);
            double rim = smoothstep(0.34, 0.27, h), pool = smoothstep(0.27, 0.22, h);
            c = mix(c, wet, rim * 0.7);
            double shimmer = 0.05 * (value_noise(x * 80.0 / MAP_W, y * 40.0 / MAP_H, 80, 40, 23) - 0.5);
            c = mix(c, add(mix(sky, {0.5, 0.55, 0.62}, smoothstep(0.22, 0.12, h)), {shimmer, shimmer, shimmer}),
                    pool);
            // Ruts along the track: dark wet grooves with a glint of water.
            double off = track_offset(x, y);
            for (double rail : {-10.0, 10.0}) {
                double d = std::fabs(off - rail);
                double rut = 1.0 - smoothstep(2.0, 3.8, d);
                c = mix(c, wet, rut * 0.85);
                if (d < 0.8 && value_noise(x * 0.5, y * 1.0, 400, 256, 24) > 0.55)
                    c = mix(c, sky, 0.5);
            }
            img.set(x, y, c);
        }
    Rng rng(25);
    Mask stones(MAP_W, MAP_H), straw(MAP_W, MAP_H), stone_light(MAP_W, MAP_H);
    for (int i = 0; i < 420; i++) {
        double x = rng.range(0, MAP_W), y = rng.range(0, MAP_H), r = rng.range(0.7, 2.0);
        stamp_wrapped(y, [&](double yy) {
            mask_ellipse(stones, x, yy, r * 1.3, r, 0.0, 1.0);
            mask_disc(stone_light, x - r * 0.4, yy - r * 0.4, r * 0.45, 0.8);
        });
    }
    for (int i = 0; i < 350; i++) {   // last year's straw
        double x = rng.range(0, MAP_W), y = rng.range(0, MAP_H), a = rng.range(-0.9, 0.9), len = rng.range(2, 6);
        stamp_wrapped(y, [&](double yy) {
            mask_capsule(straw, x, yy, x + len * det::sin(a), yy - len * det::cos(a) * 0.5, 0.45, 0.8);
        });
    }
    paint(img, straw, {0.60, 0.52, 0.30});
    paint(img, stones, {0.42, 0.40, 0.37});
    paint(img, stone_light, {0.66, 0.64, 0.60});
    return img;
}

Image make_bg_grassy()
{
    const HeightField &f = grassy_heights();
    Image img(MAP_W, MAP_H);
    Colour deep = {0.13, 0.33, 0.06}, fresh = {0.44, 0.68, 0.16}, dirt = {0.58, 0.46, 0.30};
    for (int y = 0; y < MAP_H; y++)
        for (int x = 0; x < MAP_W; x++) {
            double n = fbm(x * 12.0 / MAP_W, y * 4.0 / MAP_H, 12, 4, 4, 0.55, 31);
            Colour c = mix(deep, fresh, clamp01((n - 0.25) * 2.0));
            double clover = smoothstep(0.62, 0.7, fbm(x * 30.0 / MAP_W, y * 10.0 / MAP_H, 30, 10, 2, 0.5, 32));
            c = mix(c, {0.14, 0.32, 0.10}, clover * 0.3);
            double blades = value_noise(x * 400.0 / MAP_W, y * 64.0 / MAP_H, 400, 64, 33) - 0.5;
            c = add(c, {blades * 0.08, blades * 0.14, blades * 0.04});
            c = scale(c, f.lighting(x, y));
            // The footpath, worn in the middle, grass creeping over its edges.
            double off = std::fabs(track_offset(x, y));
            double edge = 5.5 + 2.5 * (value_noise(x * 0.3, y * 0.5, 240, 128, 34) - 0.5);
            double path = 1.0 - smoothstep(edge - 1.5, edge + 0.5, off);
            Colour earth = scale(add(dirt, {grain(x, y, 35) * 0.12, grain(x, y, 35) * 0.1, grain(x, y, 35) * 0.08}),
                                 f.lighting(x, y));
            c = mix(c, earth, path);
            img.set(x, y, c);
        }
    // Flowers in loose clusters.
    Rng rng(36);
    const Colour petals[5] = {{0.97, 0.96, 0.90}, {1.0, 0.86, 0.20}, {0.92, 0.30, 0.40}, {0.62, 0.42, 0.88},
                              {1.0, 0.60, 0.15}};
    for (int cluster = 0; cluster < 140; cluster++) {
        double cx = rng.range(0, MAP_W), cy = rng.range(0, MAP_H);
        Colour petal = petals[rng.below(5)];
        int count = 6 + rng.below(18);
        for (int i = 0; i < count; i++) {
            double x = cx + rng.range(-14, 14), y = cy + rng.range(-6, 6);
            if (std::fabs(x + 0.5 - track_x(y)) < 7)
                continue;
            int ix = ((int)x % MAP_W + MAP_W) % MAP_W, iy = ((int)std::floor(y) % MAP_H + MAP_H) % MAP_H;
            img.set(ix, iy, petal);
            if (rng.uniform() < 0.4)
                img.set((ix + 1) % MAP_W, iy, mix(petal, img.get((ix + 1) % MAP_W, iy), 0.4));
        }
    }
    return img;
}

Image make_bg_introlandscape()
{
    const int W = 800, H = 600;
    Image img(W, H);
    Colour zenith = {0.16, 0.33, 0.68}, horizon = {0.80, 0.87, 0.94};
    const double sun_x = 336, sun_y = 190;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            double t = clamp01(y / 420.0);
            Colour c = mix(zenith, horizon, det::pow(t, 1.6));
            double dx = x - sun_x, dy = y - sun_y, d = std::sqrt(dx * dx + dy * dy);
            c = add(c, scale({1.0, 0.86, 0.62}, 0.35 * det::exp(-d / 140.0) + 0.25 * det::exp(-d * d / (2 * 40.0 * 40.0))));
            // Clouds: stretched noise, lit from the sun's side.
            if (y < 330) {
                double u = x / 170.0, v = y / 55.0;
                double n = fbm(u, v, 0, 0, 5, 0.5, 41);
                double cover = smoothstep(0.52, 0.72, n) * smoothstep(330, 180, y) * smoothstep(10, 60, y);
                double lit = fbm(u - 0.05 * dx / (d + 1), v - 0.15, 0, 0, 4, 0.5, 41);
                double shade = clamp01(0.75 + (n - lit) * 3.0);
                Colour cloud = mix({0.62, 0.66, 0.76}, {1.0, 0.97, 0.93}, shade);
                c = mix(c, cloud, cover * 0.9);
            }
            img.set(x, y, c);
        }
    // Far range: snow-capped peaks in the haze, lit on their left faces.
    struct Peak {
        double x, height, slope_left, slope_right;
    };
    Rng rng(49);
    std::vector<Peak> peaks;
    for (double x = -60; x < W + 80; x += rng.range(70, 140))
        peaks.push_back({x, rng.range(55, 150), rng.range(0.45, 0.95), rng.range(0.5, 1.0)});
    const double BASE = 372;
    std::vector<double> far_top(W), near_ridge(W), hills(W);
    for (int x = 0; x < W; x++) {
        double best = -1e9;
        for (const Peak &p : peaks)
            best = std::max(best, p.height - (x < p.x ? (p.x - x) * p.slope_left : (x - p.x) * p.slope_right));
        // A ridged noise breaks the cones into crags and notches.
        double crag = 1.0 - std::fabs(2.0 * fbm(x / 38.0, 0.5, 0, 0, 4, 0.5, 51) - 1.0);
        best += 26.0 * (crag - 0.5) + 6.0 * (value_noise(x / 6.0, 1.5, 0, 0, 54) - 0.5);
        far_top[x] = BASE - std::max(best, 12.0);
        // Nearer forested hills with a fringe of fir tops.
        double fir = (x % 9) < 4.5 ? (x % 9) / 4.5 : (9 - x % 9) / 4.5;
        near_ridge[x] = 405.0 - 50.0 * fbm(x / 150.0, 2.5, 0, 0, 4, 0.5, 60) - 5.0 * fir * value_noise(x / 9.0, 0.5, 0, 0, 66);
        hills[x] = 452.0 - 26.0 * fbm(x / 95.0, 4.5, 0, 0, 3, 0.5, 61);
    }
    // The lie of each face from the ridge above it: a ridge climbing to the
    // right faces the light on the left. Smoothed, so faces turn gradually.
    std::vector<double> slope(W);
    for (int x = 0; x < W; x++) {
        double sum = 0;
        for (int k = -8; k <= 8; k++) {
            int a = std::max(0, std::min(W - 1, x + k - 3)), b = std::max(0, std::min(W - 1, x + k + 3));
            sum += (far_top[b] - far_top[a]) / 6.0;
        }
        slope[x] = sum / 17.0;
    }
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            double cover = clamp01(y + 1 - far_top[x]);
            if (cover <= 0)
                continue;
            double gully = fbm(x / 7.0, y / 16.0, 0, 0, 3, 0.5, 52);
            // Under the ridge the faces follow spurs and gullies that run down
            // the slopes at a slant: a ridged noise sheared along them, lit where
            // it falls away from the light.
            double below = y - far_top[x];
            auto spur = [&](double px) {
                double u = (px + 0.9 * y) / 34.0, v = (px - 0.9 * y) / 90.0;
                return 1.0 - std::fabs(2.0 * fbm(u, v, 0, 0, 3, 0.5, 56) - 1.0);
            };
            double face = smoothstep(0.06, -0.06, spur(x + 1.5) - spur(x - 1.5));
            double from_ridge = smoothstep(0.35, -0.35, slope[x] + 0.6 * (gully - 0.5));
            double lit = mix(Colour{from_ridge, 0, 0}, Colour{0.15 + 0.7 * face, 0, 0}, smoothstep(4, 30, below)).r;
            // Snow above a line of the same height for the whole range, ragged by the gullies.
            double snowline = BASE - 88.0 + 40.0 * (gully - 0.5) + 22.0 * (value_noise(x / 50.0, 3.5, 0, 0, 55) - 0.5);
            Colour rock = mix(Colour{0.34, 0.39, 0.53}, Colour{0.56, 0.58, 0.68}, lit);
            Colour snow = mix(Colour{0.70, 0.77, 0.91}, Colour{0.98, 0.98, 1.0}, lit);
            rock = scale(rock, 0.85 + 0.3 * gully);
            Colour c = mix(rock, snow, smoothstep(snowline + 4, snowline - 4, y));
            // Aerial perspective: the lower, farther slopes fade into the haze.
            c = mix(c, {0.74, 0.81, 0.91}, 0.3 + 0.45 * smoothstep(BASE - 80, BASE + 20, y));
            img.blend(x, y, c, cover);
        }
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            double cover = clamp01(y + 1 - near_ridge[x]);
            if (cover <= 0)
                continue;
            double trees = fbm(x / 4.0, y / 5.0, 0, 0, 3, 0.55, 64);
            Colour c = mix({0.12, 0.22, 0.22}, {0.27, 0.38, 0.33}, trees);
            c = mix(c, {0.62, 0.72, 0.82}, 0.22 + 0.35 * smoothstep(near_ridge[x], near_ridge[x] + 70, y));
            img.blend(x, y, c, cover);
        }
    // Patchwork fields, larger towards the viewer, with hedges between them.
    const Colour crops[6] = {{0.42, 0.55, 0.25}, {0.58, 0.62, 0.30}, {0.34, 0.48, 0.22},
                             {0.70, 0.64, 0.36}, {0.46, 0.58, 0.30}, {0.52, 0.50, 0.28}};
    // Ground coordinates of a pixel below the horizon (row 420): across and away.
    auto field_at = [&](int x, int y) {
        double away = 3000.0 / (y - 420.0), across = (x - 400.0) * away / 300.0;
        double a = across * 0.96 + away * 0.28, b = -across * 0.28 + away * 0.96;   // fields lie askew
        int64_t i = (int64_t)std::floor(a / 9.0), j = (int64_t)std::floor(b / 5.0);
        return (int)(lattice_hash(i, j, 69) * 6.0);
    };
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            double cover = clamp01(y + 1 - hills[x]);
            if (cover <= 0)
                continue;
            int id = field_at(x, y);
            Colour c = crops[id];
            if (field_at(x + 1, y) != id || field_at(x, y + 1) != id)
                c = {0.20, 0.30, 0.16};   // hedge
            c = scale(c, 0.9 + 0.2 * value_noise(x / 2.0, y / 2.0, 0, 0, 68));
            double depth = clamp01((y - hills[x]) / 160.0);
            c = mix(c, {0.64, 0.73, 0.80}, 0.35 * (1.0 - depth));
            img.blend(x, y, c, cover);
        }
    return img;
}

Image make_sunflare()
{
    const int W = 512, H = 307;
    const double cx = 256, cy = 153;
    Image img(W, H);
    Rng rng(70);
    const int RAYS = 14;
    double ray_angle[RAYS], ray_length[RAYS], ray_width[RAYS];
    for (int i = 0; i < RAYS; i++) {
        ray_angle[i] = det::TWO_PI * (i + rng.range(-0.3, 0.3)) / RAYS;
        ray_length[i] = rng.range(60, 150);
        ray_width[i] = rng.range(0.035, 0.07);
    }
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            double dx = x + 0.5 - cx, dy = y + 0.5 - cy, r = std::sqrt(dx * dx + dy * dy);
            double a = det::atan2(dy, dx);
            double v = det::exp(-(r / 20.0) * (r / 20.0)) + 0.5 * det::exp(-r / 38.0) + 0.22 * det::exp(-r / 95.0);
            double rays = 0.0;
            for (int i = 0; i < RAYS; i++) {
                double da = std::fabs(std::remainder(a - ray_angle[i], det::TWO_PI));
                double across = da * std::max(r, 8.0) / (ray_width[i] * 60.0);
                rays += det::exp(-across * across) * det::exp(-r / ray_length[i]);
            }
            v += 0.45 * rays * smoothstep(4, 20, r);
            v += 0.07 * det::exp(-((r - 118) / 5.0) * ((r - 118) / 5.0));   // a faint halo ring
            double e = std::sqrt((dx / 250.0) * (dx / 250.0) + (dy / 150.0) * (dy / 150.0));
            v *= 1.0 - smoothstep(0.6, 1.0, e);   // nothing reaches the picture's edge
            v = clamp01(v);
            img.set(x, y, {v, v, v});
        }
    return img;
}

// ---- title cards -------------------------------------------------------------

// The makers' card.
Image make_qfx_logo()
{
    const int W = 620, H = 180;
    Mask m(W, H);
    TextStyle style;
    style.face = Face::serif_bold;
    style.tracking = 2.0;
    style.size = text_fit_width("Quillfrost", style, 540);
    TextBox box = text_draw_centred(m, "Quillfrost", style, W / 2.0, 78);
    // A quill stroke sweeping under the name, thick in the middle, fine at the ends.
    Mask marks(W, H);
    auto swash = cubic_curve({box.left - 10, box.bottom + 20}, {W * 0.35, box.bottom + 40},
                             {W * 0.65, box.bottom + 2}, {box.right + 12, box.bottom + 16}, 120);
    for (size_t i = 1; i < swash.size(); i++) {
        double t = (double)i / swash.size();
        double radius = 0.8 + 3.0 * det::sin(det::PI * t);
        mask_capsule(marks, swash[i - 1].x, swash[i - 1].y, swash[i].x, swash[i].y, radius, 1.0);
    }
    mask_snowflake(marks, box.right + 4, box.top + 2, 15, 1.0);
    mask_sparkle(marks, box.left + 6, box.bottom + 16, 10, 1.0);
    mask_snowflake(marks, box.left + 34, box.top - 8, 8, 1.0);
    // It fades in white over a haze that is nearly white itself: only solid,
    // heavy strokes with a crisp rim part from it. A glow would spread a
    // pale veil around the letters and take away the little contrast there is.
    Mask card = solid_shape(m, 2.0, 1.8);
    mask_max(card, solid_shape(marks, 0.4, 1.5));
    return grey_image(card);
}

Image make_presents()
{
    const int W = 266, H = 80;
    Mask m(W, H);
    TextStyle style;
    style.face = Face::serif;
    style.shear = 0.22;
    style.tracking = 3.0;
    style.size = text_fit_width("presents", style, 226);
    text_draw_centred(m, "presents", style, W / 2.0, 38);
    mask_capsule(m, 40, 66, W - 40, 66, 0.9, 0.8);
    mask_disc(m, W / 2.0, 66, 2.6, 1.0);
    Mask soft = with_glow(m, 5, 0.4);
    fade_edges(soft, 3);
    return grey_image(soft);
}

Image make_lanternfaylogo()
{
    const int W = 700, H = 240;
    Mask m(W, H);
    TextStyle style;
    style.face = Face::serif_bold;
    style.tracking = 1.0;
    style.size = text_fit_width("lanternfay", style, 540);
    TextBox box = text_draw_centred(m, "lanternfay", style, W / 2.0 - 40, 120);
    // A small lantern hangs at the end of the word, on a curled hook.
    double lx = box.right + 44, ly = 118;
    mask_stroke(m, quad_curve({box.right + 8, box.top + 8}, {lx, box.top - 30}, {lx, ly - 44}, 30), 2.2, 1.0);
    mask_ring(m, lx, ly - 40, 6, 1.8, 1.0);
    std::vector<Point> cap = {{lx - 14, ly - 30}, {lx + 14, ly - 30}, {lx + 20, ly - 22}, {lx - 20, ly - 22}};
    mask_polygon(m, cap, 1.0);
    std::vector<Point> glass = {{lx - 18, ly - 22}, {lx + 18, ly - 22}, {lx + 14, ly + 22}, {lx - 14, ly + 22}};
    mask_polygon(m, glass, 0.55);
    for (double fx : {-16.0, 0.0, 16.0})
        mask_capsule(m, lx + fx, ly - 22, lx + fx * 0.8, ly + 22, 1.5, 1.0);
    mask_polygon(m, std::vector<Point>{{lx - 16, ly + 22}, {lx + 16, ly + 22}, {lx + 11, ly + 30}, {lx - 11, ly + 30}},
                 1.0);
    mask_ellipse(m, lx, ly + 2, 5, 10, 0.0, 1.0);   // the flame
    Mask glow(W, H);
    mask_disc(glow, lx, ly, 30, 0.5);
    glow = mask_blur(glow, 10);
    mask_max(m, glow);
    // Fireflies drifting off the lantern.
    Rng rng(80);
    for (int i = 0; i < 9; i++) {
        double t = i / 9.0;
        mask_sparkle(m, lx - 40 - t * 520 + rng.range(-10, 10), box.bottom + 26 + 14 * det::sin(t * 9.0) + rng.range(-4, 4),
                     3.0 + 4.0 * (1.0 - t), 0.9 - 0.5 * t);
    }
    Mask soft = with_glow(m, 8, 0.45);
    fade_edges(soft, 3);
    return grey_image(soft);
}
