// picture.cpp — pictures of any loaded format drawn onto 32-bit surfaces:
// format conversion, colour keys and the per-pixel-alpha blend of glyphs and
// glows, computed here byte for byte as SDL 1.2.15's own blits compute them.
// The SDL 1.2 interface over SDL2 rounds the blend differently and keeps
// other top bytes; doing it here makes every SDL underneath draw the same.
#include "raster.h"
#include <cstddef>
#include <cstring>
#include "simd.h"

namespace {

// A pixel's place in a surface, for the 1-, 3- and 4-byte formats read here.
uint32_t read_pixel(const uint8_t *at, int bytes_per_pixel)
{
    switch (bytes_per_pixel) {
    case 1: return at[0];
    case 2: return (uint32_t)at[0] | ((uint32_t)at[1] << 8);
    case 3: return (uint32_t)at[0] | ((uint32_t)at[1] << 8) | ((uint32_t)at[2] << 16);   // little-endian bytes
    default: return *reinterpret_cast<const uint32_t *>(at);
    }
}

struct Channels {
    uint32_t red, green, blue, alpha;
};

// The 8-bit channels of a pixel in format f: a palette entry for 8 bits,
// otherwise each field shifted back to 8 bits (low bits left 0). Alpha is
// 255 for a format without an alpha mask.
Channels channels_of(uint32_t pixel, const SDL_PixelFormat *f)
{
    if (f->BytesPerPixel == 1) {
        const SDL_Color *colours = f->palette && f->palette->colors ? f->palette->colors : nullptr;
        if (!colours || (int)pixel >= f->palette->ncolors)
            return {0, 0, 0, 255};
        return {colours[pixel].r, colours[pixel].g, colours[pixel].b, 255};
    }
    Channels c;
    c.red = ((pixel & f->Rmask) >> f->Rshift) << f->Rloss;
    c.green = ((pixel & f->Gmask) >> f->Gshift) << f->Gloss;
    c.blue = ((pixel & f->Bmask) >> f->Bshift) << f->Bloss;
    c.alpha = f->Amask ? ((pixel & f->Amask) >> f->Ashift) << f->Aloss : 255;
    return c;
}

// The word of a 32-bit format for the channels; without an alpha mask the
// top bits are 0.
uint32_t pixel_of(const Channels &c, const SDL_PixelFormat *f)
{
    return ((c.red >> f->Rloss) << f->Rshift) | ((c.green >> f->Gloss) << f->Gshift) |
           ((c.blue >> f->Bloss) << f->Bshift) | (((c.alpha >> f->Aloss) << f->Ashift) & f->Amask);
}

bool same_format(const SDL_PixelFormat *a, const SDL_PixelFormat *b)
{
    return a->BytesPerPixel == b->BytesPerPixel && a->Rmask == b->Rmask && a->Gmask == b->Gmask &&
           a->Bmask == b->Bmask && a->Amask == b->Amask;
}

// One channel of the blend where both pixels share their colour masks is
// the kit's blend_channel_floor (simd.h). Where the masks differ, the same
// rounded up by 255/256 before the floor:
inline uint32_t blend_channel_between_formats(uint32_t s, uint32_t d, uint32_t alpha)
{
    return (d + (uint32_t)((((int)s - (int)d) * (int)alpha + 255 + 65536) >> 8) - 256u) & 0xFFu;
}

// One clipped rectangle: `width` x `height` pixels from (sx, sy) of src to (dx, dy) of dst.
struct Span {
    int sx, sy, dx, dy, width, height;
};

// SDL_UpperBlit's clipping: the area inside src, then inside dst's clip
// rectangle. (64-bit sums: a far-off position must not overflow.)
bool clip(SDL_Surface *src, const SDL_Rect *area, SDL_Surface *dst, int x, int y, Span &span)
{
    int64_t sx = area ? area->x : 0, sy = area ? area->y : 0;
    int64_t w = area ? area->w : src->w, h = area ? area->h : src->h;
    int64_t dx = x, dy = y;
    if (sx < 0) {
        w += sx;
        dx -= sx;
        sx = 0;
    }
    if (sy < 0) {
        h += sy;
        dy -= sy;
        sy = 0;
    }
    w = w < src->w - sx ? w : src->w - sx;
    h = h < src->h - sy ? h : src->h - sy;
    const SDL_Rect &c = dst->clip_rect;
    if (dx < c.x) {
        w -= c.x - dx;
        sx += c.x - dx;
        dx = c.x;
    }
    if (dy < c.y) {
        h -= c.y - dy;
        sy += c.y - dy;
        dy = c.y;
    }
    if (dx + w > c.x + c.w)
        w = c.x + c.w - dx;
    if (dy + h > c.y + c.h)
        h = c.y + c.h - dy;
    if (w <= 0 || h <= 0)
        return false;
    span = {(int)sx, (int)sy, (int)dx, (int)dy, (int)w, (int)h};
    return true;
}

// The pixels of one row of the span, by how src's flags combine them. The
// _BYTES kinds are the same arithmetic where src and dst keep red, green and
// blue in the same whole bytes (every picture of the show): a channel taken
// out and put back is then the pixel's own bits, so they need no per-channel
// shifts, and give the very words of the general kinds they stand for.
enum class Combine {
    COPY_ROWS,
    CONVERT,
    CONVERT_BYTES,
    KEYED,
    KEYED_BYTES,
    BLEND_SAME_MASKS,
    BLEND_BYTES,
    BLEND_BETWEEN_FORMATS
};

bool is_byte_mask(uint32_t mask)
{
    return mask == 0xFFu || mask == 0xFF00u || mask == 0xFF0000u;
}

// Red, green and blue each a whole byte of the low three, the same in both.
bool same_colour_bytes(const SDL_PixelFormat *s, const SDL_PixelFormat *d)
{
    return s->Rmask == d->Rmask && s->Gmask == d->Gmask && s->Bmask == d->Bmask && is_byte_mask(s->Rmask) &&
           is_byte_mask(s->Gmask) && is_byte_mask(s->Bmask) && (s->Rmask | s->Gmask | s->Bmask) == 0xFFFFFFu;
}

Combine combine_for(const SDL_Surface *src, const SDL_Surface *dst)
{
    const SDL_PixelFormat *s = src->format, *d = dst->format;
    const bool bytes = s->BytesPerPixel >= 3 && same_colour_bytes(s, d);
    if ((src->flags & SDL_SRCALPHA) && s->Amask && s->BytesPerPixel == 4) {
        bool same_masks = s->Amask == 0xFF000000u && s->Rmask == d->Rmask && s->Gmask == d->Gmask &&
                          s->Bmask == d->Bmask;
        if (!same_masks)
            return Combine::BLEND_BETWEEN_FORMATS;
        return bytes ? Combine::BLEND_BYTES : Combine::BLEND_SAME_MASKS;
    }
    // Source alpha that dst has elsewhere or not at all needs the general path.
    const bool opaque_source = s->Amask == 0;
    if (src->flags & SDL_SRCCOLORKEY)
        return bytes && opaque_source ? Combine::KEYED_BYTES : Combine::KEYED;
    if (same_format(s, d))
        return Combine::COPY_ROWS;
    return bytes && opaque_source ? Combine::CONVERT_BYTES : Combine::CONVERT;
}

// CONVERT_BYTES, KEYED_BYTES and BLEND_BYTES: src's colour bits as they
// stand, with dst's alpha mask full for an opaque source.
void draw_row_bytes(const uint8_t *from, uint32_t *to, int width, const SDL_Surface *src, const SDL_Surface *dst,
                    Combine combine)
{
    const int bytes = src->format->BytesPerPixel;
    if (combine == Combine::BLEND_BYTES && src != dst) {
        // A blend's source is always 32-bit (it has an alpha byte). A
        // picture blended onto itself goes pixel by pixel below, in order.
        blend_pixels_by_alpha(reinterpret_cast<const uint32_t *>(from), to, width);
        return;
    }
    const uint32_t opaque = dst->format->Amask;
    // Without an alpha mask the key is the whole word read, top byte and all.
    const uint32_t key = src->format->colorkey;
    for (int i = 0; i < width; ++i, from += bytes) {
        uint32_t pixel = read_pixel(from, bytes);
        if (combine == Combine::BLEND_BYTES)
            to[i] = blend_pixel_by_alpha(pixel, to[i]);
        else if (combine != Combine::KEYED_BYTES || pixel != key)
            to[i] = (pixel & 0xFFFFFFu) | opaque;
    }
}

void draw_row(const uint8_t *from, uint32_t *to, int width, const SDL_Surface *src, const SDL_Surface *dst,
              Combine combine)
{
    const SDL_PixelFormat *s = src->format, *d = dst->format;
    const int bytes = s->BytesPerPixel;
    // Converted pixels keep src's alpha where both have an alpha mask, and
    // are opaque where only dst has one.
    const bool keep_source_alpha = s->Amask != 0;
    const uint32_t rgb_mask = ~s->Amask;
    const uint32_t key = src->format->colorkey & rgb_mask;
    for (int i = 0; i < width; ++i, from += bytes) {
        uint32_t pixel = read_pixel(from, bytes);
        if (combine == Combine::KEYED && (pixel & rgb_mask) == key)
            continue;
        Channels c = channels_of(pixel, s);
        if (combine == Combine::CONVERT || combine == Combine::KEYED) {
            if (!keep_source_alpha)
                c.alpha = 255;
            to[i] = pixel_of(c, d);
            continue;
        }
        if (c.alpha == 0)
            continue;
        Channels under = channels_of(to[i], d);
        if (combine == Combine::BLEND_SAME_MASKS) {
            // dst keeps its top byte, whatever its format calls it.
            uint32_t top = to[i] & ~(d->Rmask | d->Gmask | d->Bmask);
            if (c.alpha == 255) {
                to[i] = (pixel & (s->Rmask | s->Gmask | s->Bmask)) | top;
                continue;
            }
            c.red = blend_channel_floor(c.red, under.red, c.alpha);
            c.green = blend_channel_floor(c.green, under.green, c.alpha);
            c.blue = blend_channel_floor(c.blue, under.blue, c.alpha);
            c.alpha = 0;
            to[i] = pixel_of(c, d) | top;
            continue;
        }
        c.red = blend_channel_between_formats(c.red, under.red, c.alpha);
        c.green = blend_channel_between_formats(c.green, under.green, c.alpha);
        c.blue = blend_channel_between_formats(c.blue, under.blue, c.alpha);
        c.alpha = under.alpha;
        to[i] = pixel_of(c, d);   // top bits 0 where dst has no alpha mask
    }
}

} // namespace

uint32_t blend_pixel_by_alpha(uint32_t src, uint32_t dst)
{
    uint32_t alpha = src >> 24;
    if (alpha == 0)
        return dst;
    if (alpha == 255)
        return (src & 0x00FFFFFFu) | (dst & 0xFF000000u);
    uint32_t out = dst & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        out |= blend_channel_floor((src >> shift) & 0xFF, (dst >> shift) & 0xFF, alpha) << shift;
    return out;
}

void blend_pixels_by_alpha(const uint32_t *src, uint32_t *dst, int count)
{
    int i = 0;
#if SDL_BYTEORDER == SDL_LIL_ENDIAN && RASTER_SSE2_PATHS
    for (; i + 4 <= count; i += 4) {   // four pixels at a time, each exactly blend_pixel_by_alpha
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
        __m128i d = _mm_loadu_si128(reinterpret_cast<__m128i *>(dst + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), blend_by_alpha_sse2(s, d));
    }
#endif
    for (; i < count; ++i)
        dst[i] = blend_pixel_by_alpha(src[i], dst[i]);
}

void picture_draw(SDL_Surface *src, const SDL_Rect *area, SDL_Surface *dst, int x, int y)
{
    if (!src || !dst || !src->format || !dst->format || dst->format->BytesPerPixel != 4)
        return;
    int bytes = src->format->BytesPerPixel;
    if (bytes != 1 && bytes != 2 && bytes != 3 && bytes != 4)
        return;
    Span span;
    if (!clip(src, area, dst, x, y, span))
        return;
    lock_surface(src);   // a picture may be run-length encoded
    if (src->pixels && dst->pixels) {
        const Combine combine = combine_for(src, dst);
        const uint8_t *from = static_cast<const uint8_t *>(src->pixels) + (ptrdiff_t)span.sy * src->pitch +
                              (ptrdiff_t)span.sx * bytes;
        uint8_t *to = static_cast<uint8_t *>(dst->pixels) + (ptrdiff_t)span.dy * dst->pitch + (ptrdiff_t)span.dx * 4;
        // Drawn onto itself further down, the rows go bottom-up so that none
        // is overwritten before it is read.
        ptrdiff_t from_step = src->pitch, to_step = dst->pitch;
        if (src == dst && span.dy > span.sy) {
            from += (ptrdiff_t)(span.height - 1) * from_step;
            to += (ptrdiff_t)(span.height - 1) * to_step;
            from_step = -from_step;
            to_step = -to_step;
        }
        for (int row = 0; row < span.height; ++row, from += from_step, to += to_step) {
            if (combine == Combine::COPY_ROWS)
                std::memmove(to, from, (size_t)span.width * 4);   // src may be dst
            else if (combine == Combine::CONVERT_BYTES || combine == Combine::KEYED_BYTES ||
                     combine == Combine::BLEND_BYTES)
                draw_row_bytes(from, reinterpret_cast<uint32_t *>(to), span.width, src, dst, combine);
            else
                draw_row(from, reinterpret_cast<uint32_t *>(to), span.width, src, dst, combine);
        }
    }
    unlock_surface(src);
}
