// fill_reference.cpp — the triangle fill in its plain form, and the general
// depth-tested line routine it draws each row with.
//
// This is the fill's definition: split at the middle vertex, walk both edges
// a row at a time, draw each row as a line, every pixel through one plot
// rule. fill.cpp's fast fill (and its frames in bands, on two threads) must
// give exactly these pixels and depths for every input; the fill's tests
// hold it to that. Must stay true: which values are float and which double,
// and where they truncate, is the picture; nothing here is tuned for speed.
#include "raster.h"
#include "render3d.h"
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {
// Beyond this a float row no longer changes when 1 is added: a walk that
// started there would never end.
constexpr float ROW_LIMIT = 16777216.0f;

// Where the fill and the line draw: the target's pixels (rows by its pitch)
// and the matching rows of the depth buffer.
struct Canvas {
    uint32_t *pixels;
    int pitch_words;
    int32_t *depth;
    int width, height;   // the target, cut to the depth buffer's size
};

Canvas canvas_for(SDL_Surface *target, int32_t *depth)
{
    return Canvas{static_cast<uint32_t *>(target->pixels), target->pitch / 4, depth,
                  std::min(target->w, DEPTH_WIDTH), std::min(target->h, DEPTH_HEIGHT)};
}

// The plot rule at one pixel of a row; 0 <= z < DEPTH_LIMIT is the caller's.
// A pixel of equal depth is replaced.
inline void plot(uint32_t *pixel_row, int32_t *depth_row, int column, float z, uint32_t colour)
{
    if (z > static_cast<float>(depth_row[column]))
        return;
    int depth = static_cast<int>(z);
    depth_row[column] = depth;
    pixel_row[column] = shade_pixel(colour, depth);
}

inline bool depth_in_range(float z)
{
    return z >= 0.0f && z < static_cast<float>(DEPTH_LIMIT);
}

// x-major: one pixel per column from x0 to x1 (x1 included), y and z stepped per column.
void line_by_columns(const Canvas &canvas, uint32_t colour, double x0, double y0, double z0,
                     double x1, float dx, float dy, float dz)
{
    float y_step = dy / dx;
    float z_step = dz / dx;
    float y = static_cast<float>(y0);
    float z = static_cast<float>(z0);
    double limit = std::min(x1, static_cast<double>(canvas.width));
    if (!(limit >= 0.0))
        return;
    int last = static_cast<int>(std::floor(limit));   // 0 .. width
    int column;
    if (x0 >= 0.0) {
        if (x0 >= static_cast<double>(last) + 1.0)
            return;   // first column past the last
        column = static_cast<int>(x0);
    } else {
        column = 0;
        y = static_cast<float>(y + static_cast<double>(y_step) * -x0);
        z = static_cast<float>(z + static_cast<double>(z_step) * -x0);
    }
    bool rising = y_step < 0.0f;
    float bottom = static_cast<float>(canvas.height);
    if (rising ? y <= -1.0f : y >= bottom)
        return;

    if (y_step == 0.0f) {
        // Every row of a triangle: y stays put, so the row is looked up once.
        if (!(y > -1.0f && y < bottom))
            return;
        int row = static_cast<int>(y);
        uint32_t *pixel_row = canvas.pixels + row * canvas.pitch_words;
        int32_t *depth_row = canvas.depth + row * DEPTH_WIDTH;
        int end = std::min(last, canvas.width - 1);
        for (; column <= end; ++column) {
            if (depth_in_range(z))
                plot(pixel_row, depth_row, column, z, colour);
            z += z_step;
        }
        return;
    }
    for (;;) {
        if (depth_in_range(z) && column < canvas.width && y > -1.0f && y < bottom) {
            int row = static_cast<int>(y);
            plot(canvas.pixels + row * canvas.pitch_words, canvas.depth + row * DEPTH_WIDTH, column, z, colour);
        }
        if (++column > last)
            return;
        y += y_step;
        if (rising ? y <= -1.0f : y >= bottom)
            return;
        z += z_step;
    }
}

// Whether adding step leaves value as it is (a NaN stays a NaN). A value
// that moves, moves one way, so it stops changing after about 2^26 steps at most.
inline bool stalls(float value, float step)
{
    float next = value + step;
    return next == value || (next != next && value != value);
}

// y-major: one pixel per row from y0 towards y1; within the fill only a row
// whose two end points coincide comes here, and plots that one point.
void line_by_rows(const Canvas &canvas, uint32_t colour, double x0, double y0, double z0,
                  float dx, float dy, float dz)
{
    int step = dy > 0.0f ? 1 : -1;
    int32_t row = truncate_or_int_min(y0);
    int32_t stop = truncate_or_int_min(y0 + dy + step);
    if (row == stop)
        return;
    // Off the target and heading away from it (a NaN start counts as the
    // least integer): no row of the target is ever reached.
    if (step > 0 ? row >= canvas.height : row < 0)
        return;
    // With dy = 0 the walk stops after its first row, before any step is taken.
    float length = std::fabs(dy);
    float x_step = length > 0.0f ? dx / length : 0.0f;
    float z_step = length > 0.0f ? dz / length : 0.0f;
    float x = static_cast<float>(x0);
    float z = static_cast<float>(z0);
    float right = static_cast<float>(canvas.width);
    for (;;) {
        if (depth_in_range(z) && row >= 0 && row < canvas.height && x >= 0.0f && x < right)
            plot(canvas.pixels + row * canvas.pitch_words, canvas.depth + row * DEPTH_WIDTH,
                 static_cast<int>(x), z, colour);
        if (row + step == stop)
            return;
        row += step;
        if (step > 0 ? row >= canvas.height : row < 0)
            return;   // every later row is off the target too
        x += x_step;
        z += z_step;
        // A walk from far off the target may need up to 2^32 rows to reach
        // it. Once neither x nor z changes any more, the rows before the
        // target would only count: go straight to its first row, unless the
        // line ends before it.
        if ((row < 0 || row >= canvas.height) && stalls(x, x_step) && stalls(z, z_step)) {
            int32_t first = step > 0 ? 0 : canvas.height - 1;
            if (step > 0 ? row < stop && stop <= first : first <= stop && stop < row)
                return;
            row = first;
        }
    }
}

void line(const Canvas &canvas, uint32_t colour, double x0, double y0, double z0, double x1, double y1, double z1)
{
    if (x1 < x0) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        std::swap(z0, z1);
    }
    float dx = static_cast<float>(x1 - x0);
    float dy = static_cast<float>(y1 - y0);
    float dz = static_cast<float>(z1 - z0);
    if (dx > std::fabs(dy))
        line_by_columns(canvas, colour, x0, y0, z0, x1, dx, dy, dz);
    else
        line_by_rows(canvas, colour, x0, y0, z0, dx, dy, dz);
}

// One row of the fill, from the edge point with the smaller x (the short
// edge's when they are equal).
inline void fill_row(const Canvas &canvas, uint32_t colour, float row, double xs, float zs, double xl, float zl)
{
    if (xl < xs)
        line(canvas, colour, xl, row, zl, xs, row, zs);
    else
        line(canvas, colour, xs, row, zs, xl, row, zl);
}

struct Vertex {
    float x, y, z;
};

Vertex integral_vertex(double x, double y, double z)
{
    return Vertex{static_cast<float>(truncate_or_int_min(x)), static_cast<float>(truncate_or_int_min(y)),
                  static_cast<float>(truncate_or_int_min(z))};
}

bool same_point(const Vertex &a, const Vertex &b)
{
    return a.x == b.x && a.y == b.y;
}

} // namespace

void draw_line_3d(SDL_Surface *target, int32_t *depth, uint32_t colour,
                  double x0, double y0, double z0, double x1, double y1, double z1)
{
    line(canvas_for(target, depth), colour, x0, y0, z0, x1, y1, z1);
}

void fill_triangle_3d_reference(SDL_Surface *target, int32_t *depth, uint32_t colour,
                                double x0, double y0, double z0, double x1, double y1, double z1,
                                double x2, double y2, double z2)
{
    if ((x0 == x1 && y0 == y1) || (x0 == x2 && y0 == y2) || (x1 == x2 && y1 == y2))
        return;   // degenerate, whatever the depths
    const Vertex v[3] = {integral_vertex(x0, y0, z0), integral_vertex(x1, y1, z1), integral_vertex(x2, y2, z2)};

    float min_x = 100000000.0f, max_x = -100000000.0f, min_z = 100000000.0f;
    float top_y = 100000000.0f, bottom_y = -100000000.0f;
    int top = -1, bottom = -1;
    for (int i = 0; i < 3; ++i) {
        min_x = std::min(min_x, v[i].x);
        max_x = std::max(max_x, v[i].x);
        min_z = std::min(min_z, v[i].z);
        if (v[i].y < top_y) {   // ties keep the earlier vertex
            top_y = v[i].y;
            top = i;
        }
        if (v[i].y > bottom_y) {
            bottom_y = v[i].y;
            bottom = i;
        }
    }
    Canvas canvas = canvas_for(target, depth);
    // With no top (or bottom) vertex every row lies below (above) the target.
    if (top < 0 || bottom < 0)
        return;
    const Vertex &t = v[top];
    const Vertex &b = v[bottom];
    if (min_z < 0.0f || max_x < 0.0f || b.y < 0.0f || min_x >= canvas.width || t.y >= canvas.height)
        return;
    // A vertex close to depth 0 projects this far off. From a top row beyond
    // -2^24 the float row would stop advancing before it reached the target:
    // skip the triangle. A bottom row far below is harmless, since the walk
    // ends at the target's last row.
    if (t.y < -ROW_LIMIT)
        return;

    if (t.y == b.y)
        return;   // all three on one row, which is the bottom row: never filled

    int middle = -1;
    for (int i = 0; i < 3 && middle < 0; ++i)
        if (!same_point(v[i], t) && !same_point(v[i], b))
            middle = i;
    if (middle < 0) {
        // Two vertices share a pixel with the top or the bottom one: the
        // triangle is a sliver along T->B. Walking it with the remaining
        // vertex as the middle draws that segment, one pixel per row.
        middle = 3 - top - bottom;
    }
    const Vertex &m = v[middle];

    // Rows at or below the target's last draw nothing, and rows only grow:
    // the walk ends there. Rows above it are walked (the edges advance) but
    // not drawn.
    float rows = static_cast<float>(canvas.height);
    float long_x_step = (b.x - t.x) / (b.y - t.y);
    float long_z_step = (b.z - t.z) / (b.y - t.y);
    double xl = t.x;
    float zl = t.z;
    if (t.y < m.y) {
        float x_step = (m.x - t.x) / (m.y - t.y);
        float z_step = (m.z - t.z) / (m.y - t.y);
        double xs = t.x;
        float zs = t.z;
        float y = t.y;
        for (;;) {
            if (y >= rows)
                return;
            if (y >= 0.0f)
                fill_row(canvas, colour, y, xs, zs, xl, zl);
            y += 1.0f;
            zs += z_step;
            xl += long_x_step;
            zl += long_z_step;
            if (y >= m.y)
                break;
            xs += x_step;
        }
    }
    if (m.y < b.y) {
        float x_step = (b.x - m.x) / (b.y - m.y);
        float z_step = (b.z - m.z) / (b.y - m.y);
        double xs = m.x;
        float zs = m.z;
        float y = m.y;
        for (;;) {
            if (y >= rows)
                return;
            if (y >= 0.0f)
                fill_row(canvas, colour, y, xs, zs, xl, zl);
            y += 1.0f;
            if (y >= b.y)
                break;
            zs += z_step;
            xs += x_step;
            xl += long_x_step;
            zl += long_z_step;
        }
    }
}
