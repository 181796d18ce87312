// canvas.cpp — drawing board of the data generator.
#include "canvas.h"
#include "detmath.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <png.h>
#include <stdexcept>

Colour mix(Colour a, Colour b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Colour scale(Colour a, double k) { return {a.r * k, a.g * k, a.b * k}; }
Colour add(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Colour rgb8(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }

double clamp01(double x) { return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x); }
double smoothstep(double edge0, double edge1, double x)
{
    double t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

Image::Image(int width, int height, Colour fill) : w(width), h(height), px((size_t)width * height * 3)
{
    for (size_t i = 0; i < (size_t)w * h; i++) {
        px[i * 3] = (float)fill.r;
        px[i * 3 + 1] = (float)fill.g;
        px[i * 3 + 2] = (float)fill.b;
    }
}

Colour Image::get(int x, int y) const
{
    const float *p = &px[((size_t)y * w + x) * 3];
    return {p[0], p[1], p[2]};
}

void Image::set(int x, int y, Colour c)
{
    if (x < 0 || y < 0 || x >= w || y >= h)
        return;
    float *p = &px[((size_t)y * w + x) * 3];
    p[0] = (float)c.r;
    p[1] = (float)c.g;
    p[2] = (float)c.b;
}

void Image::blend(int x, int y, Colour c, double a)
{
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0.0)
        return;
    float *p = &px[((size_t)y * w + x) * 3];
    p[0] = (float)(p[0] + (c.r - p[0]) * a);
    p[1] = (float)(p[1] + (c.g - p[1]) * a);
    p[2] = (float)(p[2] + (c.b - p[2]) * a);
}

void Image::add_light(int x, int y, Colour c, double a)
{
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0.0)
        return;
    float *p = &px[((size_t)y * w + x) * 3];
    p[0] = (float)(p[0] + c.r * a);
    p[1] = (float)(p[1] + c.g * a);
    p[2] = (float)(p[2] + c.b * a);
}

Mask::Mask(int width, int height, float fill) : w(width), h(height), v((size_t)width * height, fill) {}

// ---- shapes ----------------------------------------------------------------------------

void mask_sdf(Mask &m, double x0, double y0, double x1, double y1,
              const std::function<double(double, double)> &distance, double value)
{
    int ax = std::max(0, (int)std::floor(x0) - 1), ay = std::max(0, (int)std::floor(y0) - 1);
    int bx = std::min(m.w - 1, (int)std::ceil(x1) + 1), by = std::min(m.h - 1, (int)std::ceil(y1) + 1);
    for (int y = ay; y <= by; y++)
        for (int x = ax; x <= bx; x++) {
            double d = distance(x + 0.5, y + 0.5);
            double c = clamp01(0.5 - d) * value;
            if (c > m.at(x, y))
                m.at(x, y) = (float)c;
        }
}

void mask_disc(Mask &m, double cx, double cy, double radius, double value)
{
    mask_sdf(m, cx - radius, cy - radius, cx + radius, cy + radius,
             [=](double x, double y) { return std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) - radius; },
             value);
}

void mask_ring(Mask &m, double cx, double cy, double radius, double half_width, double value)
{
    double r = radius + half_width;
    mask_sdf(m, cx - r, cy - r, cx + r, cy + r,
             [=](double x, double y) {
                 return std::fabs(std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) - radius) - half_width;
             },
             value);
}

void mask_ellipse(Mask &m, double cx, double cy, double rx, double ry, double angle, double value)
{
    double c = det::cos(angle), s = det::sin(angle), r = std::max(rx, ry);
    mask_sdf(m, cx - r, cy - r, cx + r, cy + r,
             [=](double x, double y) {
                 double u = (x - cx) * c + (y - cy) * s, v = -(x - cx) * s + (y - cy) * c;
                 double k = std::sqrt((u / rx) * (u / rx) + (v / ry) * (v / ry));
                 // Distance estimate: exact on the axes, close enough elsewhere for a 1-pixel edge.
                 double g = std::sqrt((u / (rx * rx)) * (u / (rx * rx)) + (v / (ry * ry)) * (v / (ry * ry)));
                 return g > 0.0 ? (k - 1.0) * k / g : -std::min(rx, ry);
             },
             value);
}

static double segment_distance(double px, double py, double x0, double y0, double x1, double y1)
{
    double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? clamp01(((px - x0) * dx + (py - y0) * dy) / len2) : 0.0;
    double ex = px - (x0 + t * dx), ey = py - (y0 + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

void mask_capsule(Mask &m, double x0, double y0, double x1, double y1, double radius, double value)
{
    mask_sdf(m, std::min(x0, x1) - radius, std::min(y0, y1) - radius, std::max(x0, x1) + radius,
             std::max(y0, y1) + radius,
             [=](double x, double y) { return segment_distance(x, y, x0, y0, x1, y1) - radius; }, value);
}

void mask_stroke(Mask &m, const std::vector<Point> &points, double radius, double value)
{
    for (size_t i = 1; i < points.size(); i++)
        mask_capsule(m, points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, radius, value);
}

std::vector<Point> quad_curve(Point a, Point c, Point b, int steps)
{
    std::vector<Point> out;
    for (int i = 0; i <= steps; i++) {
        double t = (double)i / steps, u = 1.0 - t;
        out.push_back({u * u * a.x + 2 * u * t * c.x + t * t * b.x, u * u * a.y + 2 * u * t * c.y + t * t * b.y});
    }
    return out;
}

std::vector<Point> cubic_curve(Point a, Point c1, Point c2, Point b, int steps)
{
    std::vector<Point> out;
    for (int i = 0; i <= steps; i++) {
        double t = (double)i / steps, u = 1.0 - t;
        double k0 = u * u * u, k1 = 3 * u * u * t, k2 = 3 * u * t * t, k3 = t * t * t;
        out.push_back({k0 * a.x + k1 * c1.x + k2 * c2.x + k3 * b.x, k0 * a.y + k1 * c1.y + k2 * c2.y + k3 * b.y});
    }
    return out;
}

void mask_polygon(Mask &m, const std::vector<std::vector<Point>> &contours, double value)
{
    const int SUB = 4;
    double miny = 1e30, maxy = -1e30;
    for (auto &c : contours)
        for (auto &p : c) {
            miny = std::min(miny, p.y);
            maxy = std::max(maxy, p.y);
        }
    int y0 = std::max(0, (int)std::floor(miny)), y1 = std::min(m.h - 1, (int)std::ceil(maxy));
    std::vector<double> row(m.w + 2);
    struct Crossing {
        double x;
        int dir;
    };
    std::vector<Crossing> xs;
    for (int y = y0; y <= y1; y++) {
        std::fill(row.begin(), row.end(), 0.0);
        bool any = false;
        for (int s = 0; s < SUB; s++) {
            double sy = y + (s + 0.5) / SUB;
            xs.clear();
            for (auto &c : contours)
                for (size_t i = 0; i < c.size(); i++) {
                    Point a = c[i], b = c[(i + 1) % c.size()];
                    if ((a.y <= sy && b.y > sy) || (b.y <= sy && a.y > sy)) {
                        double t = (sy - a.y) / (b.y - a.y);
                        xs.push_back({a.x + t * (b.x - a.x), b.y > a.y ? 1 : -1});
                    }
                }
            std::sort(xs.begin(), xs.end(), [](const Crossing &p, const Crossing &q) { return p.x < q.x; });
            int winding = 0;
            for (size_t i = 0; i + 1 < xs.size(); i++) {
                winding += xs[i].dir;
                if (winding == 0)
                    continue;
                double xa = std::max(0.0, xs[i].x), xb = std::min((double)m.w, xs[i + 1].x);
                if (xb <= xa)
                    continue;
                any = true;
                int ia = (int)xa, ib = (int)xb;
                if (ia == ib) {
                    row[ia] += (xb - xa) / SUB;
                    continue;
                }
                row[ia] += (ia + 1 - xa) / SUB;
                for (int x = ia + 1; x < ib; x++)
                    row[x] += 1.0 / SUB;
                if (ib < m.w)
                    row[ib] += (xb - ib) / SUB;
            }
        }
        if (!any)
            continue;
        for (int x = 0; x < m.w; x++) {
            double c = std::min(1.0, row[x]) * value;
            if (c > m.at(x, y))
                m.at(x, y) = (float)c;
        }
    }
}

void mask_polygon(Mask &m, const std::vector<Point> &contour, double value)
{
    mask_polygon(m, std::vector<std::vector<Point>>{contour}, value);
}

// ---- compositing ------------------------------------------------------------------------

void paint(Image &img, const Mask &m, Colour c, double opacity, int dx, int dy)
{
    for (int y = 0; y < m.h; y++)
        for (int x = 0; x < m.w; x++) {
            float a = m.at(x, y);
            if (a > 0.0f)
                img.blend(x + dx, y + dy, c, a * opacity);
        }
}

void paint_fn(Image &img, const Mask &m, const std::function<Colour(int, int)> &colour, double opacity)
{
    for (int y = 0; y < m.h && y < img.h; y++)
        for (int x = 0; x < m.w && x < img.w; x++) {
            float a = m.at(x, y);
            if (a > 0.0f)
                img.blend(x, y, colour(x, y), a * opacity);
        }
}

void light(Image &img, const Mask &m, Colour c, double strength)
{
    for (int y = 0; y < m.h && y < img.h; y++)
        for (int x = 0; x < m.w && x < img.w; x++) {
            float a = m.at(x, y);
            if (a > 0.0f)
                img.add_light(x, y, c, a * strength);
        }
}

void mask_max(Mask &dst, const Mask &src, double k, int dx, int dy)
{
    for (int y = 0; y < src.h; y++)
        for (int x = 0; x < src.w; x++) {
            int tx = x + dx, ty = y + dy;
            if (tx < 0 || ty < 0 || tx >= dst.w || ty >= dst.h)
                continue;
            float v = (float)(src.at(x, y) * k);
            if (v > dst.at(tx, ty))
                dst.at(tx, ty) = v;
        }
}

void mask_add(Mask &dst, const Mask &src, double k)
{
    for (size_t i = 0; i < dst.v.size() && i < src.v.size(); i++)
        dst.v[i] = (float)(dst.v[i] + src.v[i] * k);
}

// One box pass along a line of n samples spaced by stride.
static void box_line(float *data, int n, int stride, int r, bool wrap, std::vector<double> &tmp)
{
    tmp.resize(n);
    auto sample = [&](int i) -> double {
        if (wrap)
            i = ((i % n) + n) % n;
        else
            i = i < 0 ? 0 : (i >= n ? n - 1 : i);
        return data[(size_t)i * stride];
    };
    double sum = 0.0;
    for (int i = -r; i <= r; i++)
        sum += sample(i);
    for (int i = 0; i < n; i++) {
        tmp[i] = sum / (2 * r + 1);
        sum += sample(i + r + 1) - sample(i - r);
    }
    for (int i = 0; i < n; i++)
        data[(size_t)i * stride] = (float)tmp[i];
}

static void blur_plane(float *data, int w, int h, int stride, double radius, bool wrap_x, bool wrap_y)
{
    int r = std::max(1, (int)(radius * 0.6 + 0.5));   // three boxes of r approximate a gaussian of sigma ~ radius
    std::vector<double> tmp;
    for (int pass = 0; pass < 3; pass++) {
        for (int y = 0; y < h; y++)
            box_line(data + (size_t)y * w * stride, w, stride, r, wrap_x, tmp);
        for (int x = 0; x < w; x++)
            box_line(data + (size_t)x * stride, h, w * stride, r, wrap_y, tmp);
    }
}

Mask mask_blur(const Mask &m, double radius, bool wrap_x, bool wrap_y)
{
    Mask out = m;
    blur_plane(out.v.data(), out.w, out.h, 1, radius, wrap_x, wrap_y);
    return out;
}

void image_blur(Image &img, double radius, bool wrap_x, bool wrap_y)
{
    for (int c = 0; c < 3; c++)
        blur_plane(img.px.data() + c, img.w, img.h, 3, radius, wrap_x, wrap_y);
}

Image grey_image(const Mask &m)
{
    Image img(m.w, m.h);
    for (int y = 0; y < m.h; y++)
        for (int x = 0; x < m.w; x++) {
            double v = clamp01(m.at(x, y));
            img.set(x, y, {v, v, v});
        }
    return img;
}

Mask with_glow(const Mask &m, double radius, double strength)
{
    Mask glow = mask_blur(m, radius);
    Mask out = m;
    for (size_t i = 0; i < out.v.size(); i++) {
        double a = out.v[i], g = glow.v[i] * strength;
        out.v[i] = (float)(a + g * (1.0 - a));
    }
    return out;
}

void fade_edges(Mask &m, int pixels)
{
    for (int y = 0; y < m.h; y++)
        for (int x = 0; x < m.w; x++) {
            int d = std::min(std::min(x, m.w - 1 - x), std::min(y, m.h - 1 - y));
            if (d < pixels)
                m.at(x, y) = (float)(m.at(x, y) * d / pixels);
        }
}

// One row of the squared distance transform (Felzenszwalb and Huttenlocher):
// the lower envelope of the parabolas rooted at every sample.
static void distance_row(const std::vector<double> &f, std::vector<double> &out, std::vector<int> &root,
                         std::vector<double> &bound)
{
    // Far samples are 1e20, not infinity, so every crossing stays a finite
    // number above the first bound.
    const double FAR = 1e21;
    int n = (int)f.size(), k = 0;
    root[0] = 0;
    bound[0] = -FAR;
    bound[1] = FAR;
    auto crossing = [&](int q, int r) { return ((f[q] + (double)q * q) - (f[r] + (double)r * r)) / (2.0 * q - 2.0 * r); };
    for (int q = 1; q < n; q++) {
        double s = crossing(q, root[k]);
        while (s <= bound[k]) {
            k--;
            s = crossing(q, root[k]);
        }
        k++;
        root[k] = q;
        bound[k] = s;
        bound[k + 1] = FAR;
    }
    k = 0;
    for (int q = 0; q < n; q++) {
        while (bound[k + 1] < q)
            k++;
        double d = q - root[k];
        out[q] = d * d + f[root[k]];
    }
}

// Squared distance from every pixel to the nearest pixel where `inside` holds.
static std::vector<double> squared_distance(const Mask &m, bool want_inside)
{
    const double FAR = 1e20;
    int n = std::max(m.w, m.h);
    std::vector<double> f(n), out(n), bound(n + 1), grid((size_t)m.w * m.h);
    std::vector<int> root(n);
    for (size_t i = 0; i < grid.size(); i++)
        grid[i] = ((m.v[i] >= 0.5f) == want_inside) ? 0.0 : FAR;
    // The transform is separable: every column, then every row, each line
    // `length` cells `step` apart, the lines `gap` apart.
    auto pass = [&](int lines, int length, size_t gap, size_t step) {
        f.resize(length), out.resize(length);
        for (int line = 0; line < lines; line++) {
            for (int i = 0; i < length; i++)
                f[i] = grid[line * gap + i * step];
            distance_row(f, out, root, bound);
            for (int i = 0; i < length; i++)
                grid[line * gap + i * step] = out[i];
        }
    };
    pass(m.w, m.h, 1, (size_t)m.w);
    pass(m.h, m.w, (size_t)m.w, 1);
    return grid;
}

Mask mask_distance(const Mask &m)
{
    std::vector<double> to_inside = squared_distance(m, true), to_outside = squared_distance(m, false);
    Mask d(m.w, m.h);
    for (size_t i = 0; i < d.v.size(); i++)
        d.v[i] = (float)(m.v[i] >= 0.5f ? 0.5 - std::sqrt(to_outside[i]) : std::sqrt(to_inside[i]) - 0.5);
    return d;
}

Mask solid_shape(const Mask &m, double grow, double edge)
{
    Mask d = mask_distance(m);
    for (float &v : d.v)
        v = (float)clamp01(0.5 - (v - grow) / edge);
    return d;
}

// ---- noise ------------------------------------------------------------------------------

static int wrap_index(int64_t i, int period)
{
    if (period <= 0)
        return (int)i;
    int64_t r = i % period;
    return (int)(r < 0 ? r + period : r);
}

double value_noise(double u, double v, int period_u, int period_v, uint64_t seed)
{
    double fu = std::floor(u), fv = std::floor(v);
    int64_t iu = (int64_t)fu, iv = (int64_t)fv;
    double tu = u - fu, tv = v - fv;
    tu = tu * tu * tu * (tu * (tu * 6 - 15) + 10);
    tv = tv * tv * tv * (tv * (tv * 6 - 15) + 10);
    int u0 = wrap_index(iu, period_u), u1 = wrap_index(iu + 1, period_u);
    int v0 = wrap_index(iv, period_v), v1 = wrap_index(iv + 1, period_v);
    double a = lattice_hash(u0, v0, seed), b = lattice_hash(u1, v0, seed);
    double c = lattice_hash(u0, v1, seed), d = lattice_hash(u1, v1, seed);
    double top = a + (b - a) * tu, bottom = c + (d - c) * tu;
    return top + (bottom - top) * tv;
}

double fbm(double u, double v, int period_u, int period_v, int octaves, double gain, uint64_t seed)
{
    double sum = 0.0, amp = 1.0, norm = 0.0;
    for (int o = 0; o < octaves; o++) {
        sum += value_noise(u, v, period_u, period_v, seed + (uint64_t)o * 7919) * amp;
        norm += amp;
        amp *= gain;
        u *= 2.0;
        v *= 2.0;
        period_u *= 2;
        period_v *= 2;
    }
    return sum / norm;
}

void cell_distances(double u, double v, int period_u, int period_v, uint64_t seed, double &nearest,
                    double &second, uint64_t &cell_id, double &near_u, double &near_v)
{
    int64_t iu = (int64_t)std::floor(u), iv = (int64_t)std::floor(v);
    nearest = second = 1e30;
    cell_id = 0;
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++) {
            int64_t cu = iu + dx, cv = iv + dy;
            int wu = wrap_index(cu, period_u), wv = wrap_index(cv, period_v);
            double px = cu + 0.1 + 0.8 * lattice_hash(wu, wv, seed);
            double py = cv + 0.1 + 0.8 * lattice_hash(wu, wv, seed + 1);
            double d = std::sqrt((px - u) * (px - u) + (py - v) * (py - v));
            if (d < nearest) {
                second = nearest;
                nearest = d;
                cell_id = (uint64_t)wu * 100003u + (uint64_t)wv;
                near_u = px;
                near_v = py;
            } else if (d < second) {
                second = d;
            }
        }
}

// ---- files -------------------------------------------------------------------------------

std::vector<uint8_t> image_bytes(const Image &img)
{
    std::vector<uint8_t> out((size_t)img.w * img.h * 3);
    for (size_t i = 0; i < out.size(); i++) {
        double v = img.px[i];
        int b = (int)(clamp01(v) * 255.0 + 0.5);
        out[i] = (uint8_t)b;
    }
    return out;
}

static void put16(std::vector<uint8_t> &b, uint32_t v)
{
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
static void put32(std::vector<uint8_t> &b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

void write_bmp(const std::string &path, const Image &img)
{
    std::vector<uint8_t> rgb = image_bytes(img);
    uint32_t row_bytes = ((uint32_t)img.w * 3 + 3) & ~3u;   // rows are padded to 4 bytes
    uint32_t data_size = row_bytes * img.h;
    std::vector<uint8_t> b;
    b.reserve(54 + data_size);
    b.push_back('B');
    b.push_back('M');
    put32(b, 54 + data_size);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);   // BITMAPINFOHEADER
    put32(b, (uint32_t)img.w);
    put32(b, (uint32_t)img.h);   // positive: bottom-up rows
    put16(b, 1);
    put16(b, 24);
    put32(b, 0);   // no compression
    put32(b, data_size);
    put32(b, 2835);   // 72 dpi
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (int y = img.h - 1; y >= 0; y--) {
        const uint8_t *row = &rgb[(size_t)y * img.w * 3];
        for (int x = 0; x < img.w; x++) {
            b.push_back(row[x * 3 + 2]);   // stored blue, green, red
            b.push_back(row[x * 3 + 1]);
            b.push_back(row[x * 3]);
        }
        for (uint32_t p = (uint32_t)img.w * 3; p < row_bytes; p++)
            b.push_back(0);
    }
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    size_t written = std::fwrite(b.data(), 1, b.size(), f);
    if (std::fclose(f) != 0 || written != b.size())
        throw std::runtime_error("cannot write " + path);
}

// Rows of `channels` bytes per pixel (3: RGB, 4: RGBA), from the top.
static void write_png_rows(const std::string &path, int w, int h, const std::vector<uint8_t> &bytes, int channels)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        throw std::runtime_error("cannot write " + path);
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, 8, channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; y++)
        png_write_row(png, &bytes[(size_t)y * w * channels]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

void write_png(const std::string &path, const Image &img)
{
    write_png_rows(path, img.w, img.h, image_bytes(img), 3);
}

void write_png_rgba(const std::string &path, int w, int h, const std::vector<uint8_t> &rgba)
{
    write_png_rows(path, w, h, rgba, 4);
}
