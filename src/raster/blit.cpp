// blit.cpp — the library's own pixel operations: blends, copies, fades,
// fills, points and lines, straight on 32-bit pixel arrays.
//
// Every loop walks rows by a word offset that grows by pitch / 4, so a
// display surface wider than its visible width is drawn correctly. Inner
// loops only look up tables and store bytes or words.
#include "blit_internal.h"
#include <cstddef>
#include <cstring>

SDL_Surface *screen = nullptr;

using namespace raster_detail;

namespace raster_detail {

// Computed in 64 bits so that no position overflows.
bool clip_blit(const SDL_Surface *src, const SDL_Surface *dst, int x, int y, BlitSpan &span)
{
    if (!drawable(src) || !drawable(dst))
        return false;
    long long first_column = x > 0 ? x : 0;
    long long first_row = y > 0 ? y : 0;
    long long end_column = static_cast<long long>(x) + src->w;
    long long end_row = static_cast<long long>(y) + src->h;
    if (end_column > dst->w)
        end_column = dst->w;
    if (end_row > dst->h)
        end_row = dst->h;
    if (end_column <= first_column || end_row <= first_row)
        return false;
    span.dst_x = static_cast<int>(first_column);
    span.dst_y = static_cast<int>(first_row);
    span.src_x = static_cast<int>(first_column - x);
    span.src_y = static_cast<int>(first_row - y);
    span.width = static_cast<int>(end_column - first_column);
    span.height = static_cast<int>(end_row - first_row);
    return true;
}

// Rectangle clipping: w and h are the offsets of the last column and row, so
// a zero w or h draws nothing and w = 1 covers two columns.
bool clip_rect(const SDL_Surface *s, int x, int y, int w, int h, ClippedRect &rect)
{
    if (!drawable(s))
        return false;
    long long left = x, top = y, width = w, height = h;
    long long left_cut = 0, top_cut = 0;
    if (left < 0) {
        width += left;
        left_cut = -left;
        left = 0;
    }
    if (top < 0) {
        height += top;
        top_cut = -top;
        top = 0;
    }
    if (left + width >= s->w)
        width = s->w - 1 - left;
    if (top + height >= s->h)
        height = s->h - 1 - top;
    if (width <= 0 || height <= 0)
        return false;
    rect.x = static_cast<int>(left);
    rect.y = static_cast<int>(top);
    rect.w = static_cast<int>(width);
    rect.h = static_cast<int>(height);
    rect.left_cut = static_cast<int>(left_cut);
    rect.top_cut = static_cast<int>(top_cut);
    return true;
}

} // namespace raster_detail

namespace {

bool is_black(uint32_t pixel)
{
    return (pixel & 0x00FFFFFFu) == 0;
}

} // namespace

void blit_alpha_reference(SDL_Surface *src, SDL_Surface *dst, int x, int y, int opacity, BlendMode mode)
{
    BlitSpan span;
    if (!clip_blit(src, dst, x, y, span))
        return;
    // An opacity outside 0..255 would index past the weight row.
    const uint8_t *weight_of_alpha = ScaleTable + 65536 + clamp_byte(opacity);
    const uint8_t *blend = mode == BLEND_CUBIC ? CubeTable : ScaleTable;
    ptrdiff_t src_stride = row_stride(src), dst_stride = row_stride(dst);
    const uint32_t *src_row = pixel_words(src) + span.src_y * src_stride + span.src_x;
    uint32_t *dst_row = pixel_words(dst) + span.dst_y * dst_stride + span.dst_x;
    for (int row = 0; row < span.height; ++row, src_row += src_stride, dst_row += dst_stride)
        for (int column = 0; column < span.width; ++column)
            dst_row[column] = blend_pixel(src_row[column], dst_row[column], weight_of_alpha, blend);
}

void blit_copy(SDL_Surface *src, SDL_Surface *dst, int x, int y)
{
    BlitSpan span;
    if (!clip_blit(src, dst, x, y, span))
        return;
    ptrdiff_t src_stride = row_stride(src), dst_stride = row_stride(dst);
    const uint32_t *src_row = pixel_words(src) + span.src_y * src_stride + span.src_x;
    uint32_t *dst_row = pixel_words(dst) + span.dst_y * dst_stride + span.dst_x;
    size_t row_bytes = static_cast<size_t>(span.width) * 4;
    // A surface may be copied onto itself. memmove keeps one row right; when
    // the destination lies below the source, walking top to bottom would
    // overwrite source rows before they are read, so walk bottom to top.
    if (src->pixels == dst->pixels && span.dst_y > span.src_y) {
        src_row += (span.height - 1) * src_stride;
        dst_row += (span.height - 1) * dst_stride;
        for (int row = 0; row < span.height; ++row, src_row -= src_stride, dst_row -= dst_stride)
            std::memmove(dst_row, src_row, row_bytes);
        return;
    }
    for (int row = 0; row < span.height; ++row, src_row += src_stride, dst_row += dst_stride)
        std::memmove(dst_row, src_row, row_bytes);
}

void blit_keyed(SDL_Surface *src, int sx, int sy, int sw, int sh, SDL_Surface *dst, int x, int y, int key)
{
    ClippedRect rect;
    if (!drawable(src) || !clip_rect(dst, x, y, sw, sh, rect))
        return;
    // What the destination's left and top edges cut off is skipped in the
    // source too; the source block is then kept inside the source surface.
    long long first_column = static_cast<long long>(sx) + rect.left_cut;
    long long first_row = static_cast<long long>(sy) + rect.top_cut;
    first_column = first_column < 0 ? 0 : first_column >= src->w ? src->w - 1 : first_column;
    first_row = first_row < 0 ? 0 : first_row >= src->h ? src->h - 1 : first_row;
    long long last_column = first_column + rect.w, last_row = first_row + rect.h;
    if (last_column > src->w - 1)
        last_column = src->w - 1;
    if (last_row > src->h - 1)
        last_row = src->h - 1;
    int columns = static_cast<int>(last_column - first_column) + 1;
    int rows = static_cast<int>(last_row - first_row) + 1;

    ptrdiff_t src_stride = row_stride(src), dst_stride = row_stride(dst);
    const uint32_t *src_row = pixel_words(src) + first_row * src_stride + first_column;
    uint32_t *dst_row = pixel_words(dst) + rect.y * dst_stride + rect.x;
    bool keyed = key >= 0;
    uint32_t key_pixel = static_cast<uint32_t>(key);
    for (int row = 0; row < rows; ++row, src_row += src_stride, dst_row += dst_stride) {
        for (int column = 0; column < columns; ++column) {
            uint32_t pixel = src_row[column];
            if (!keyed || pixel != key_pixel)
                dst_row[column] = pixel;
        }
    }
}

void fade_rect_reference(SDL_Surface *s, int x, int y, int w, int h, int level)
{
    if (level <= 0)
        return;
    // Above 255 the ceilings turn negative and their low bytes would paint
    // every lit pixel red; such a level is as dark as the fade can go.
    if (level > 255)
        level = 255;
    ClippedRect rect;
    if (!clip_rect(s, x, y, w, h, rect))
        return;
    const FadeCaps caps = fade_caps(level);
    const uint32_t red_cap = caps.red, green_cap = caps.green, blue_cap = caps.blue;
    ptrdiff_t stride = row_stride(s);
    uint32_t *row_pixels = pixel_words(s) + rect.y * stride + rect.x;
    for (int row = 0; row <= rect.h; ++row, row_pixels += stride) {
        for (int column = 0; column <= rect.w; ++column) {
            uint32_t pixel = row_pixels[column];
            if (is_black(pixel))
                continue;
            uint32_t blue = pixel & 0xFF, green = (pixel >> 8) & 0xFF, red = (pixel >> 16) & 0xFF;
            if (blue > blue_cap)
                blue = blue_cap;
            if (green > green_cap)
                green = green_cap;
            if (red > red_cap)
                red = red_cap;
            row_pixels[column] = (pixel & 0xFF000000u) | (red << 16) | (green << 8) | blue;
        }
    }
}

void dim_rect_reference(SDL_Surface *s, int x, int y, int w, int h, int amount)
{
    if (amount <= 0)
        return;
    if (amount > 255)   // past 255 the column would leave the table; 255 is black
        amount = 255;
    ClippedRect rect;
    if (!clip_rect(s, x, y, w, h, rect))
        return;
    const uint8_t *dim = ScaleTable + 65536 + (255 - amount);   // row c + 256 scales c
    ptrdiff_t stride = row_stride(s);
    uint32_t *row_pixels = pixel_words(s) + rect.y * stride + rect.x;
    for (int row = 0; row <= rect.h; ++row, row_pixels += stride) {
        for (int column = 0; column <= rect.w; ++column) {
            uint32_t pixel = row_pixels[column];
            if (is_black(pixel))
                continue;
            uint32_t blue = dim[(pixel & 0xFF) << 8];
            uint32_t green = dim[((pixel >> 8) & 0xFF) << 8];
            uint32_t red = dim[((pixel >> 16) & 0xFF) << 8];
            row_pixels[column] = (pixel & 0xFF000000u) | (red << 16) | (green << 8) | blue;
        }
    }
}

void fill_rect(SDL_Surface *s, int x, int y, int w, int h, uint32_t colour)
{
    ClippedRect rect;
    if (!clip_rect(s, x, y, w, h, rect))
        return;
    ptrdiff_t stride = row_stride(s);
    uint32_t *row_pixels = pixel_words(s) + rect.y * stride + rect.x;
    for (int row = 0; row <= rect.h; ++row, row_pixels += stride)
        for (int column = 0; column <= rect.w; ++column)
            row_pixels[column] = colour;
}

void put_pixel(SDL_Surface *s, int x, int y, uint32_t colour)
{
    if (!drawable(s) || x < 0 || y < 0 || x >= s->w || y >= s->h)
        return;
    pixel_words(s)[y * row_stride(s) + x] = colour;
}

namespace {

// Plots by the put_pixel rule while keeping the row offset by steps of the
// stride instead of a multiplication per pixel. Only rows inside the surface
// are ever reached, so a step never goes further than the surface's height.
struct LinePlotter {
    uint32_t *pixels;
    ptrdiff_t stride;
    int width, height;
    int row;              // the row that offset points at
    ptrdiff_t offset;     // row * stride

    void plot(int x, int y, uint32_t colour)
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return;
        while (row < y) {
            ++row;
            offset += stride;
        }
        while (row > y) {
            --row;
            offset -= stride;
        }
        pixels[offset + x] = colour;
    }
};

// trunc(coordinate) when it lands on 0..limit-1, else -1. Truncation goes
// toward zero, so -0.5 lands on 0; anything outside never reaches a cast
// that could overflow.
int coordinate_on(float coordinate, int limit)
{
    if (!(coordinate > -1.0f && coordinate < static_cast<float>(limit)))
        return -1;
    return static_cast<int>(coordinate);
}

} // namespace

void draw_line(SDL_Surface *s, int x0, int y0, int x1, int y1, uint32_t colour)
{
    if (!drawable(s))
        return;
    long long dx = static_cast<long long>(x1) - x0;
    long long dy = static_cast<long long>(y1) - y0;
    if (dx == 0 && dy == 0) {
        put_pixel(s, x0, y0, colour);
        return;
    }
    if (dx == 0 || dy == 0)   // axis-parallel lines of more than one point are not drawn
        return;
    LinePlotter plotter{pixel_words(s), row_stride(s), s->w, s->h, 0, 0};
    long long span_x = dx < 0 ? -dx : dx;
    long long span_y = dy < 0 ? -dy : dy;
    if (span_x > span_y) {
        int step = dx > 0 ? 1 : -1;
        float slope = static_cast<float>(dy) / static_cast<float>(span_x);
        float row = static_cast<float>(y0);
        for (long long x = x0; x != x1; x += step, row += slope) {
            if ((step > 0 && x >= s->w) || (step < 0 && x < 0))
                break;   // every later column lies outside too
            plotter.plot(static_cast<int>(x), coordinate_on(row, s->h), colour);
        }
    } else {
        int step = dy > 0 ? 1 : -1;
        float slope = static_cast<float>(dx) / static_cast<float>(span_y);
        float column = static_cast<float>(x0);
        for (long long y = y0; y != y1; y += step, column += slope) {
            if ((step > 0 && y >= s->h) || (step < 0 && y < 0))
                break;
            plotter.plot(coordinate_on(column, s->w), static_cast<int>(y), colour);
        }
    }
}

void darken_rect_halves(int x0, int y0, int x1, int y1)
{
    if (!clip_to_screen(x0, y0, x1, y1))
        return;
    bool must_lock = SDL_MUSTLOCK(screen);
    if (must_lock && SDL_LockSurface(screen) < 0)
        return;
    ptrdiff_t stride = row_stride(screen);
    uint32_t *row_pixels = pixel_words(screen) + y0 * stride;
    for (int row = y0; row < y1; ++row, row_pixels += stride) {
        for (int column = x0; column < x1; ++column) {
            uint32_t pixel = row_pixels[column];
            // Red and green lose two bits, blue one; the masks drop the bits
            // that the shift carries in from the byte above.
            row_pixels[column] = (pixel & 0xFF000000u) | ((pixel >> 2) & 0x003F3F00u) | ((pixel & 0xFFu) >> 1);
        }
    }
    if (must_lock)
        SDL_UnlockSurface(screen);
}
