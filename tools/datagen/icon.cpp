// icon.cpp — the desktop icon: the small lantern that hangs at the end of the
// word in the title picture, drawn larger and in colour, lit, with its warm
// glow fading into a transparent background, so that it sits on any desktop
// or panel. Same shapes as in the title, so the two read as one lantern.
//
// The layers are composed premultiplied (colour times opacity, over black)
// beside their opacity, then divided back out: painting and the glow then
// act on the icon's own pixels exactly as they would on an opaque tile.
#include "icon.h"
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

// Premultiplied picture and its opacity, layered as paint and light do.
struct Layers {
    Image premultiplied;
    Mask alpha;
};

// Lays colour c over the pixels with coverage m times opacity.
void layer_paint(Layers &l, const Mask &m, Colour c, double opacity = 1.0)
{
    paint(l.premultiplied, m, c, opacity);
    for (size_t i = 0; i < l.alpha.v.size(); i++) {
        const double a = m.v[i] * opacity;
        l.alpha.v[i] = (float)(l.alpha.v[i] + (1.0 - l.alpha.v[i]) * clamp01(a));
    }
}

// Adds light: it brightens what is there and is itself seen where nothing is.
void layer_light(Layers &l, const Mask &m, Colour c, double strength)
{
    light(l.premultiplied, m, c, strength);
    for (size_t i = 0; i < l.alpha.v.size(); i++)
        l.alpha.v[i] = (float)clamp01(l.alpha.v[i] + m.v[i] * strength);
}

} // namespace

Icon make_icon(int size)
{
    const double s = size / 128.0;         // drawn on a 128-pixel plan
    const double k = 1.35 * s;             // the title's lantern is about 90 pixels high
    const double lx = 64 * s, ly = 70 * s; // the middle of its glass
    auto at = [&](double x, double y) { return Point{lx + x * k, ly + y * k}; };
    Layers l{Image(size, size), Mask(size, size)};

    // The warm light around it, under the metal: a halo that fades out
    // before the icon's edge.
    Mask glow(size, size);
    mask_disc(glow, lx, ly, 34 * k, 0.75);
    layer_light(l, mask_blur(glow, 14 * s), rgb8(255, 170, 70), 0.9);

    // Hook and ring, cap, the bars of the frame and the base, in old brass.
    Mask metal(size, size);
    Point hook_top = at(0, -40);
    mask_ring(metal, hook_top.x, hook_top.y, 6 * k, 1.8 * k);
    mask_capsule(metal, hook_top.x, hook_top.y - 6 * k, hook_top.x, 2 * s, 1.8 * k);
    mask_polygon(metal, std::vector<Point>{at(-14, -30), at(14, -30), at(20, -22), at(-20, -22)});
    mask_polygon(metal, std::vector<Point>{at(-16, 22), at(16, 22), at(11, 30), at(-11, 30)});

    // The glass, lit from within, then the bars over it.
    Mask glass(size, size);
    mask_polygon(glass, std::vector<Point>{at(-18, -22), at(18, -22), at(14, 22), at(-14, 22)});
    layer_paint(l, glass, rgb8(255, 196, 92), 0.85);
    for (double fx : {-16.0, 0.0, 16.0}) {
        Point top = at(fx, -22), bottom = at(fx * 0.8, 22);
        mask_capsule(metal, top.x, top.y, bottom.x, bottom.y, 1.5 * k);
    }
    layer_paint(l, metal, rgb8(120, 78, 34));

    // The flame, brighter than the bar behind it.
    Mask flame(size, size);
    Point centre = at(0, 2);
    mask_ellipse(flame, centre.x, centre.y, 5 * k, 10 * k, 0.0);
    layer_light(l, mask_blur(flame, 3 * s), rgb8(255, 220, 150), 0.8);
    layer_paint(l, flame, rgb8(255, 246, 214));

    // Straight colour: what a pixel shows where it is opaque.
    Icon icon{Image(size, size), l.alpha};
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            const double a = l.alpha.at(x, y);
            if (a > 0.0)
                icon.colour.set(x, y, scale(l.premultiplied.get(x, y), 1.0 / a));
        }
    return icon;
}

namespace {

// Bytes of the icon, 4 per pixel (r, g, b, alpha) from the top row down.
std::vector<uint8_t> rgba_bytes(const Icon &icon)
{
    const std::vector<uint8_t> rgb = image_bytes(icon.colour);
    std::vector<uint8_t> rgba(icon.alpha.v.size() * 4);
    for (size_t i = 0; i < icon.alpha.v.size(); i++) {
        const uint8_t alpha = (uint8_t)(clamp01(icon.alpha.v[i]) * 255.0 + 0.5);
        for (int c = 0; c < 3; c++)
            rgba[i * 4 + c] = alpha ? rgb[i * 3 + c] : 0;   // no stray colour where nothing shows
        rgba[i * 4 + 3] = alpha;
    }
    return rgba;
}

void put16(std::vector<uint8_t> &b, uint32_t v)
{
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t> &b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// One icon picture as Windows keeps it: a bitmap header of twice the height
// (colour, then the mask), the rows bottom-up in blue, green, red, alpha,
// and the one-bit mask (set where nothing shows) for renderers without alpha.
std::vector<uint8_t> ico_picture(const Icon &icon)
{
    const int n = icon.colour.w;
    const std::vector<uint8_t> rgba = rgba_bytes(icon);
    const int mask_row = ((n + 31) / 32) * 4;
    std::vector<uint8_t> b;
    put32(b, 40);
    put32(b, n);
    put32(b, 2 * n);
    put16(b, 1);    // planes
    put16(b, 32);   // bits per pixel
    put32(b, 0);    // uncompressed
    put32(b, n * n * 4 + mask_row * n);
    for (int i = 0; i < 4; i++)
        put32(b, 0);   // resolution and palette: none
    for (int y = n - 1; y >= 0; y--)
        for (int x = 0; x < n; x++) {
            const uint8_t *p = &rgba[((size_t)y * n + x) * 4];
            b.insert(b.end(), {p[2], p[1], p[0], p[3]});
        }
    for (int y = n - 1; y >= 0; y--) {
        std::vector<uint8_t> row(mask_row, 0);
        for (int x = 0; x < n; x++)
            if (rgba[((size_t)y * n + x) * 4 + 3] == 0)
                row[x / 8] |= 0x80 >> (x % 8);
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

void write_file(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::unique_ptr<FILE, int (*)(FILE *)> f(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
        throw std::runtime_error("cannot write " + path);
}

} // namespace

void write_icon_png(const std::string &path)
{
    const Icon icon = make_icon(128);
    write_png_rgba(path, icon.colour.w, icon.colour.h, rgba_bytes(icon));
}

void write_icon_ico(const std::string &path)
{
    const int sizes[] = {16, 32, 48, 256};
    std::vector<std::vector<uint8_t>> pictures;
    for (int size : sizes)
        pictures.push_back(ico_picture(make_icon(size)));
    std::vector<uint8_t> b;
    put16(b, 0);
    put16(b, 1);   // an icon, not a cursor
    put16(b, (uint32_t)pictures.size());
    uint32_t offset = 6 + 16 * (uint32_t)pictures.size();
    for (size_t i = 0; i < pictures.size(); i++) {
        b.push_back(sizes[i] == 256 ? 0 : (uint8_t)sizes[i]);   // 0 stands for 256
        b.push_back(sizes[i] == 256 ? 0 : (uint8_t)sizes[i]);
        b.push_back(0);   // no palette
        b.push_back(0);
        put16(b, 1);
        put16(b, 32);
        put32(b, (uint32_t)pictures[i].size());
        put32(b, offset);
        offset += (uint32_t)pictures[i].size();
    }
    for (const auto &picture : pictures)
        b.insert(b.end(), picture.begin(), picture.end());
    write_file(path, b);
}
