// fill.cpp — the depth-tested, depth-shaded triangle fill as the show draws
// it: one triangle at a time (fill_triangle_3d), or a world's frame in bands
// of rows shared with a worker thread (FillFrame, fill_frame.h).
//
// Must stay true: every pixel and depth equals fill_triangle_3d_reference's
// (fill_reference.cpp) for every input, the frames in bands included; the
// float/double steps and truncations are the picture. Rows are the
// reference's rows drawn by its line routine, done here for the one case a
// fill hands it (both ends on one row), with the shading looked up per
// colour in a ShadeCache when the caller keeps one. Bands own disjoint rows,
// so whichever thread draws a band the picture is the same. What was tried
// here and measured slower is in bench/NOTES.md.
#include "raster.h"
#include "render3d.h"
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <atomic>
#include <vector>
#include "simd.h"
#include "fill_frame.h"

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

inline bool depth_in_range(float z)
{
    return z >= 0.0f && z < static_cast<float>(DEPTH_LIMIT);
}

// Where the fill's pixels get their shaded colour: from the caller's cache
// of this colour when it has one, else from DepthShadeTable itself.
struct Shading {
    uint32_t colour;
    const uint32_t *cached;   // the shaded colour at every depth below DEPTH_LIMIT; or NULL
};

// The plot rule along a run of columns whose depth is in range, stopping at
// the first that is not (CHECKED), or along columns the caller knows to be
// in range.
template <bool CACHED, bool CHECKED>
inline void plot_run(uint32_t *pixel, int32_t *depth, int columns, float z, float z_step, const Shading &shading)
{
    const uint32_t colour = shading.colour;
    const uint32_t *const cached = shading.cached;
    // One index, counting up to 0, serves both rows.
    pixel += columns;
    depth += columns;
    for (ptrdiff_t i = -static_cast<ptrdiff_t>(columns); i < 0 && (!CHECKED || depth_in_range(z)); ++i) {
        // Without a branch on the depth test, which a frame's overlapping
        // triangles make unpredictable: a farther pixel writes back the
        // depth and the pixel that were there.
        int32_t stored = depth[i];
        // z is in range: its integer part fits either width, and the wide
        // one indexes without a sign extension.
        ptrdiff_t d = static_cast<ptrdiff_t>(z);
        uint32_t shaded = CACHED ? cached[d] : shade_pixel(colour, static_cast<int>(d));
        bool nearer = !(z > static_cast<float>(stored));
        uint32_t old = pixel[i];
        depth[i] = nearer ? static_cast<int32_t>(d) : stored;
        pixel[i] = nearer ? shaded : old;
        z += z_step;
    }
}

// Whether every column of a run (columns > 0, at most a row's) whose first
// z is in range stays in range, so that plot_run need not check each.
// Adding a step moves z one way only, so this is whether the last column's z
// is. That z is the first plus columns - 1 steps, each addition rounding by
// at most 2^-9 while z stays below 2^16: for the 800 columns of a row it lies
// within 1.6 of the exact sum, which the estimate here misses by under 0.02
// when it passes. A margin of 2 keeps it in range. A step that is not
// finite fails.
inline bool run_stays_in_range(float z, float z_step, int columns)
{
    static_assert(DEPTH_WIDTH <= 800 && DEPTH_LIMIT <= 65536, "the margin holds for rows and depths this size");
    float last = z + static_cast<float>(columns - 1) * z_step;
    return last >= 2.0f && last <= static_cast<float>(DEPTH_LIMIT) - 2.0f;
}

// One row of the fill: what draw_line_3d does for two end points on the
// same row of the target (whose pixels and depths start at pixel_row and
// depth_row), from (x0, z0) to (x1, z1) with
// x0 <= x1 (the order the fill hands them over in) and both x finite. The
// same arithmetic, less what cannot happen on such a row: no swap, a y step
// of 0, no row to clip. INSIDE: the caller knows 0 <= x0 <= x1 < width - 1,
// so no column needs cutting to the target (see Edges::inside); CACHED:
// shading.cached is set.
template <bool INSIDE, bool CACHED>
__attribute__((always_inline)) inline void fill_span(const Canvas &canvas, const Shading &shading, uint32_t *pixel_row,
                                                     int32_t *depth_row, double x0, float z0, double x1, float z1)
{
    float dx = static_cast<float>(x1 - x0);
    // draw_line_3d takes the difference of the two depths in double
    // precision and rounds it to single. A double's 53 bits are at least
    // twice a float's 24 and two more, so rounding twice gives what rounding
    // once does: the single-precision difference.
    float dz = z1 - z0;
    if (!(dx > 0.0f)) {
        // Both ends in one place: draw_line_3d steps by rows and plots
        // that single point, its column cut from x in single precision. A
        // run of one column plots it by the same rule, shaded from the cache
        // (the table's rows are far apart: a lookup there is a miss).
        float x = static_cast<float>(x0);
        if (depth_in_range(z0) && x >= 0.0f && x < static_cast<float>(canvas.width))
            plot_run<CACHED, false>(pixel_row + static_cast<int>(x), depth_row + static_cast<int>(x), 1, z0, 0.0f,
                                    shading);
        return;
    }
    float z_step = dz / dx;
    float z = z0;
    int column, end;
    if (INSIDE) {
        // What the cuts below come to when both ends lie on the target
        // short of its last column: nothing is cut.
        column = static_cast<int>(x0);
        end = static_cast<int>(x1);
    } else {
        double limit = std::min(x1, static_cast<double>(canvas.width));
        if (!(limit >= 0.0))
            return;
        int last = static_cast<int>(limit);   // limit >= 0: truncation is the floor
        if (x0 >= 0.0) {
            if (x0 >= static_cast<double>(last) + 1.0)
                return;   // first column past the last
            column = static_cast<int>(x0);
        } else {
            column = 0;
            z = static_cast<float>(z + static_cast<double>(z_step) * -x0);
        }
        end = std::min(last, canvas.width - 1);
    }
    // Most rows: x0 <= x1 on the target gives at least one column, and
    // when its first and last depths are in range, so is every one.
    if (INSIDE && depth_in_range(z) && run_stays_in_range(z, z_step, end - column + 1)) {
        plot_run<CACHED, false>(pixel_row + column, depth_row + column, end - column + 1, z, z_step, shading);
        return;
    }
    // Adding a constant step moves z one way only, so the columns whose depth
    // is in the shading range form one run: walk to its start, plot it, and
    // stop where it ends, since no later column can come back into range.
    while (column <= end && !depth_in_range(z)) {
        z += z_step;
        ++column;
    }
    uint32_t *pixel = pixel_row + column;
    int32_t *depth = depth_row + column;
    const int columns = end - column + 1;
    if (columns > 0 && run_stays_in_range(z, z_step, columns))
        plot_run<CACHED, false>(pixel, depth, columns, z, z_step, shading);
    else
        plot_run<CACHED, true>(pixel, depth, columns, z, z_step, shading);
}

// A row of the fill on the target (see fill_span), between its two edge
// points, from the one with the smaller x (the short edge's when they are
// equal). One call for each order, so that the run's z stays in a register
// (one call with the ends picked by selects: slower, see bench/NOTES.md).
template <bool INSIDE, bool CACHED>
__attribute__((always_inline)) inline void fill_row(const Canvas &canvas, const Shading &shading, uint32_t *pixel_row,
                                                    int32_t *depth_row, double xs, float zs, double xl, float zl)
{
    if (xl < xs)
        fill_span<INSIDE, CACHED>(canvas, shading, pixel_row, depth_row, xl, zl, xs, zs);
    else
        fill_span<INSIDE, CACHED>(canvas, shading, pixel_row, depth_row, xs, zs, xl, zl);
}

struct Vertex {
    float x, y, z;
};

// The three vertices with every coordinate truncated (truncate_or_int_min)
// and made a float; with SSE2, eight of the nine four at a time.
void integral_vertices(double x0, double y0, double z0, double x1, double y1, double z1, double x2, double y2,
                       double z2, Vertex (&v)[3])
{
    static_assert(sizeof(Vertex) == 3 * sizeof(float), "three vertices are nine floats in a row");
    float f[9];
#if RASTER_SSE2_PATHS
    _mm_storeu_ps(f, _mm_cvtepi32_ps(_mm_unpacklo_epi64(truncate_pair_sse2(x0, y0), truncate_pair_sse2(z0, x1))));
    _mm_storeu_ps(f + 4, _mm_cvtepi32_ps(_mm_unpacklo_epi64(truncate_pair_sse2(y1, z1), truncate_pair_sse2(x2, y2))));
#else
    const double first_eight[8] = {x0, y0, z0, x1, y1, z1, x2, y2};
    for (int i = 0; i < 8; ++i)
        f[i] = static_cast<float>(truncate_or_int_min(first_eight[i]));
#endif
    f[8] = static_cast<float>(truncate_or_int_min(z2));
    std::memcpy(v, f, sizeof f);
}

bool same_point(const Vertex &a, const Vertex &b)
{
    return a.x == b.x && a.y == b.y;
}

// The triangle's vertices by row, as the walk takes them.
struct RowOrder {
    Vertex top, middle, bottom;
};

// Finds the top, bottom and middle vertices; false when no row of the
// triangle can be drawn: behind the viewer, wholly off the target, too far
// above it to walk, or flat.
bool order_rows(const Canvas &canvas, const Vertex (&v)[3], RowOrder &order)
{
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
    // With no top (or bottom) vertex every row lies below (above) the target.
    if (top < 0 || bottom < 0)
        return false;
    const Vertex &t = v[top];
    const Vertex &b = v[bottom];
    if (min_z < 0.0f || max_x < 0.0f || b.y < 0.0f || min_x >= canvas.width || t.y >= canvas.height)
        return false;
    // A vertex close to depth 0 projects this far off. From a top row beyond
    // -2^24 the float row would stop advancing before it reached the target:
    // skip the triangle. A bottom row far below is harmless, since the walk
    // ends at the target's last row.
    if (t.y < -ROW_LIMIT)
        return false;
    if (t.y == b.y)
        return false;   // all three on one row, which is the bottom row: never filled

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
    order = RowOrder{t, v[middle], b};
    return true;
}

// The long edge, top to bottom, as the walk carries it from the upper half
// into the lower one.
struct LongEdge {
    double x;
    float z;
    float x_step, z_step;
};

// A triangle ready to walk: its vertices by row and the steps of its edges
// per row, in single precision (a half's steps only when it has rows).
struct Edges {
    RowOrder o;
    float long_x_step, long_z_step;
    float upper_x_step, upper_z_step;
    float lower_x_step, lower_z_step;
    // Every vertex lies in columns 1 .. width - 2, so every row's two ends
    // lie on the target short of its last column. An edge's x after k of
    // its n steps is its top's plus k times the float step, which is off
    // the exact slope by at most 2^-24 of it: in all under 2^-24 of the
    // edge's width (less than the target's), far less than the column
    // kept free on either side. The double sums add next to nothing.
    bool inside;
};

Edges edges_for(const Canvas &canvas, const RowOrder &o)
{
    const Vertex &t = o.top, &m = o.middle, &b = o.bottom;
    const float right = static_cast<float>(canvas.width - 2);
    bool inside = std::min({t.x, m.x, b.x}) >= 1.0f && std::max({t.x, m.x, b.x}) <= right;
    Edges e{o, (b.x - t.x) / (b.y - t.y), (b.z - t.z) / (b.y - t.y), 0.0f, 0.0f, 0.0f, 0.0f, inside};
    if (t.y < m.y) {
        e.upper_x_step = (m.x - t.x) / (m.y - t.y);
        e.upper_z_step = (m.z - t.z) / (m.y - t.y);
    }
    if (m.y < b.y) {
        e.lower_x_step = (b.x - m.x) / (b.y - m.y);
        e.lower_z_step = (b.z - m.z) / (b.y - m.y);
    }
    return e;
}

// Where the walk down a triangle's rows has got to: the next row, the short
// edge's point on it and the long edge. A walk can stop at any row and go on
// later with the same arithmetic, so the rows may be drawn band by band.
struct Walk {
    double xs;
    LongEdge edge;
    float zs;
    float y;
    bool lower;   // in the lower half
};

Walk walk_start(const Edges &e)
{
    const Vertex &t = e.o.top;
    Walk w{t.x, LongEdge{t.x, t.z, e.long_x_step, e.long_z_step}, t.z, t.y, false};
    if (!(t.y < e.o.middle.y)) {   // no upper half: the lower starts at once
        w.lower = true;
        w.xs = e.o.middle.x;
        w.zs = e.o.middle.z;
        w.y = e.o.middle.y;
    }
    return w;
}

// Walks one half of a triangle from row on to end (excluded), drawing the
// rows at or below first (0 <= first), and leaves row at end. After each
// row every edge point takes its step, after a half's last row too. The
// fill as first written stepped the short edge's x no further there, and
// the lower half nothing; but the next half starts the short edge afresh,
// and a finished walk is never read again, so the picture is the same.
template <bool INSIDE, bool CACHED>
__attribute__((always_inline)) inline void walk_half(const Canvas &canvas, const Shading &shading, Walk &w, int &row,
                                                     int first, int end, float short_x_step, float short_z_step)
{
    // The x steps widened once; adding the widened float is what adding
    // the float to a double does.
    const double xs_step = short_x_step, xl_step = w.edge.x_step;
    const float zs_step = short_z_step, zl_step = w.edge.z_step;
    auto advance = [&] {
        w.xs += xs_step;
        w.zs += zs_step;
        w.edge.x += xl_step;
        w.edge.z += zl_step;
    };
    for (; row < end && row < first; ++row)
        advance();   // above the rows to draw
    if (row >= end)
        return;
    // Rows of the target from here on (end <= its height): each row's
    // pixels and depths are the last row's, one row on.
    uint32_t *pixel_row = canvas.pixels + row * canvas.pitch_words;
    int32_t *depth_row = canvas.depth + row * DEPTH_WIDTH;
    for (;;) {
        fill_row<INSIDE, CACHED>(canvas, shading, pixel_row, depth_row, w.xs, w.zs, w.edge.x, w.edge.z);
        advance();
        if (++row == end)
            return;
        pixel_row += canvas.pitch_words;
        depth_row += DEPTH_WIDTH;
    }
}

// Walks the triangle's rows from where w stands down to stop_row
// (excluded), drawing those at or below first_row (0 <= first_row <=
// stop_row <= the target's height). False once the triangle is done. Rows
// below the target's last draw nothing, and rows only grow, so the caller
// ends the walk there; rows above first_row are walked (the edges advance)
// but not drawn. Rows are counted in integers: every row the walk stands on
// is a whole number from -2^24 to the target's height, where adding 1 to
// the float row is exact.
template <bool INSIDE, bool CACHED>
bool walk_rows_as(const Canvas &target, const Shading &shade, const Edges &e, Walk &walk, float first_row,
                  float stop_row)
{
    // The walk, the target and the shading in locals: stores of pixels
    // cannot then touch them, so they stay in registers.
    Walk w = walk;
    const Canvas canvas = target;
    const Shading shading = shade;
    const Vertex &m = e.o.middle, &b = e.o.bottom;
    const int first = static_cast<int>(first_row), stop = static_cast<int>(stop_row);
    int row = static_cast<int>(w.y);
    bool more = true;
    if (!w.lower) {
        // From the top vertex down to the middle one (excluded), or a pause.
        bool half_done = m.y <= stop_row;
        walk_half<INSIDE, CACHED>(canvas, shading, w, row, first, half_done ? static_cast<int>(m.y) : stop,
                                  e.upper_x_step, e.upper_z_step);
        if (!half_done)
            goto pause;
        if (!(m.y < b.y))
            return false;
        w.lower = true;
        w.xs = m.x;
        w.zs = m.z;
    }
    // From the middle vertex down to the bottom one (excluded), or a pause.
    more = !(b.y <= stop_row);
    walk_half<INSIDE, CACHED>(canvas, shading, w, row, first, more ? stop : static_cast<int>(b.y), e.lower_x_step,
                              e.lower_z_step);
pause:
    w.y = static_cast<float>(row);
    walk = w;
    return more;
}

// walk_rows_as for this triangle and shading.
bool walk_rows(const Canvas &canvas, const Shading &shading, const Edges &e, Walk &walk, float first_row,
               float stop_row)
{
    if (e.inside)
        return shading.cached ? walk_rows_as<true, true>(canvas, shading, e, walk, first_row, stop_row)
                              : walk_rows_as<true, false>(canvas, shading, e, walk, first_row, stop_row);
    return shading.cached ? walk_rows_as<false, true>(canvas, shading, e, walk, first_row, stop_row)
                          : walk_rows_as<false, false>(canvas, shading, e, walk, first_row, stop_row);
}

// The rows a triangle may draw, or false when it draws none.
bool prepare_triangle(const Canvas &canvas, double x0, double y0, double z0, double x1, double y1, double z1,
                      double x2, double y2, double z2, Edges &e)
{
    if ((x0 == x1 && y0 == y1) || (x0 == x2 && y0 == y2) || (x1 == x2 && y1 == y2))
        return false;   // degenerate, whatever the depths
    Vertex v[3];
    integral_vertices(x0, y0, z0, x1, y1, z1, x2, y2, z2, v);
    RowOrder o;
    if (!order_rows(canvas, v, o))
        return false;
    e = edges_for(canvas, o);
    return true;
}

void fill_triangle(SDL_Surface *target, int32_t *depth, const Shading &shading, double x0, double y0, double z0,
                   double x1, double y1, double z1, double x2, double y2, double z2)
{
    Canvas canvas = canvas_for(target, depth);
    Edges e;
    if (!prepare_triangle(canvas, x0, y0, z0, x1, y1, z1, x2, y2, z2, e))
        return;
    Walk w = walk_start(e);
    walk_rows(canvas, shading, e, w, 0.0f, static_cast<float>(canvas.height));
}

// How many colours a ShadeCache keeps: a world draws in a handful.
constexpr int SHADE_CACHE_COLOURS = 8;

} // namespace

struct ShadeCache {
    const uint8_t *table;   // the DepthShadeTable that the entries were made from
    uint64_t lookups;       // counts lookups, to find the least recently used colour
    uint64_t frame;         // counts frames; slots a frame draws with are kept till it is drawn
    struct Slot {
        uint32_t colour;
        uint64_t last_used;
        uint64_t frame_used;
        bool made;          // shaded holds this colour at every depth
        uint32_t *shaded;   // DEPTH_LIMIT entries; NULL until the slot is first used
    } slots[SHADE_CACHE_COLOURS];
};

namespace {

// The cached shadings of colour, made whole when it is new (so that the
// fill, and the bands of a frame on two threads, only ever read them). NULL
// when there is no memory for them, and, for a frame (in_frame), when every
// slot holds a colour that the frame still has to draw with.
const uint32_t *shade_cache_entries(ShadeCache *cache, uint32_t colour, bool in_frame)
{
    if (cache->table != DepthShadeTable) {
        // The tables were built anew: what was made from the old one goes.
        for (ShadeCache::Slot &slot : cache->slots)
            slot.made = false;
        cache->table = DepthShadeTable;
    }
    ++cache->lookups;
    ShadeCache::Slot *oldest = nullptr;
    for (ShadeCache::Slot &slot : cache->slots) {
        if (slot.made && slot.colour == colour) {
            slot.last_used = cache->lookups;
            slot.frame_used = cache->frame;
            return slot.shaded;
        }
        bool kept = in_frame && slot.made && slot.frame_used == cache->frame;
        if (!kept && (!oldest || slot.last_used < oldest->last_used))
            oldest = &slot;
    }
    if (!oldest)
        return nullptr;
    if (!oldest->shaded) {
        oldest->shaded = static_cast<uint32_t *>(std::malloc(DEPTH_LIMIT * sizeof(uint32_t)));
        if (!oldest->shaded)
            return nullptr;
    }
    for (int d = 0; d < DEPTH_LIMIT; ++d)
        oldest->shaded[d] = shade_pixel(colour, d);
    oldest->colour = colour;
    oldest->made = true;
    oldest->last_used = cache->lookups;
    oldest->frame_used = cache->frame;
    return oldest->shaded;
}

} // namespace

ShadeCache *shade_cache_new()
{
    return new (std::nothrow) ShadeCache();
}

void shade_cache_free(ShadeCache *cache)
{
    if (!cache)
        return;
    for (ShadeCache::Slot &slot : cache->slots)
        std::free(slot.shaded);
    delete cache;
}

void fill_triangle_3d(SDL_Surface *target, int32_t *depth, uint32_t colour,
                      double x0, double y0, double z0, double x1, double y1, double z1,
                      double x2, double y2, double z2)
{
    fill_triangle(target, depth, Shading{colour, nullptr}, x0, y0, z0, x1, y1, z1, x2, y2, z2);
}

void fill_triangle_3d_cached(SDL_Surface *target, int32_t *depth, ShadeCache *cache, uint32_t colour,
                             double x0, double y0, double z0, double x1, double y1, double z1,
                             double x2, double y2, double z2)
{
    const uint32_t *cached = cache ? shade_cache_entries(cache, colour, false) : nullptr;
    fill_triangle(target, depth, Shading{colour, cached}, x0, y0, z0, x1, y1, z1, x2, y2, z2);
}

// ---- A frame in bands --------------------------------------------------------

namespace {

// Bands a frame is cut into by their work, so that the two drawers, taking
// them from either end, finish together however the triangles lie (a row
// of grass fills a third of the rows and holds nearly all the work). A
// band's work is mostly its spans, one per triangle per row, and each row's
// own: clearing its depths and handing it on, which costs about ROW_WORK
// spans. The drawers meet near the middle, where one waits for the other
// to end its last band: the bands there are the smallest. More bands cost
// more than they balance, since the worker walks each afresh (figures in
// bench/NOTES.md).
constexpr int BAND_COUNT = 12;
constexpr int ROW_WORK = 4;
// Each band's share of the work, in hundredths, top to bottom.
constexpr int BAND_SHARE[BAND_COUNT] = {13, 11, 9, 7, 6, 4, 4, 6, 7, 9, 11, 13};

constexpr int sum_of_shares()
{
    int sum = 0;
    for (int share : BAND_SHARE)
        sum += share;
    return sum;
}
static_assert(sum_of_shares() == 100, "the shares are hundredths of the frame's work");

// A frame of fewer triangles than this is not worth waking the worker for.
constexpr size_t WORKER_LEAST_TRIANGLES = 64;

struct BandTriangle {
    Edges edges;
    Shading shading;
    // The walk at the target's first row, or at the top vertex when that is
    // on the target: a top far above it (a vertex close to the viewer) costs
    // a step per row, walked once a frame rather than by each band it reaches.
    Walk start;
};

// The rows a triangle draws, first to end (excluded), within the target.
struct RowRange {
    int first, end;
};

} // namespace

// Triangles made ready, in drawing order, with the rows each draws.
struct ReadyTriangles {
    std::vector<BandTriangle> triangles;
    std::vector<RowRange> rows;
};

struct FillFrame {
    Canvas canvas;
    int target_rows;                       // the target's own, which may pass the canvas's
    ShadeCache *cache;
    RowsDone done;
    std::vector<BandTriangle> triangles;   // in drawing order
    std::vector<RowRange> rows;            // the same order
    ReadyTriangles later;                  // the worker's share of making them ready
    std::vector<Walk> walks[2];            // each drawer's own walks: a triangle may reach both
    // The frame's bands: band k is rows band_first[k] .. band_first[k + 1] - 1.
    int band_first[BAND_COUNT + 1];
    int bands;
    int row_spans[DEPTH_HEIGHT + 1];       // while cutting: triangles starting on a row less those ending
    // The triangles that reach each band, in drawing order: band k's are
    // band_triangles[band_start[k]] .. band_triangles[band_start[k + 1] - 1].
    std::vector<uint32_t> band_triangles;
    int band_start[BAND_COUNT + 1];
    uint8_t band_of_row[DEPTH_HEIGHT];
    // The bands not yet taken: the caller takes them from the top down, the
    // worker from the bottom up, until they meet.
    ItemRange bands_left;
    // The shading of the colour last added: a frame's triangles come in long
    // runs of one colour.
    uint32_t last_colour;
    const uint32_t *last_cached;
    bool has_last;
    bool with_worker;
    FrameWorker *worker;                    // NULL until first needed, or when none can be had
    bool worker_failed;
};

namespace {

// Cuts the canvas's rows into bands of the work their shares give (see BAND_COUNT).
void cut_bands(FillFrame &frame)
{
    const int height = frame.canvas.height;
    int *starting = frame.row_spans;
    std::fill(starting, starting + height + 1, 0);
    int64_t total = static_cast<int64_t>(height) * ROW_WORK;
    for (const RowRange &rows : frame.rows) {
        ++starting[rows.first];
        --starting[rows.end];
        total += rows.end - rows.first;
    }
    frame.bands = 0;
    frame.band_first[0] = 0;
    int64_t work = 0;
    int spans = 0;    // on the row
    int shares = 0;   // of the bands cut so far and the one being cut
    for (int row = 0; row + 1 < height && frame.bands + 1 < BAND_COUNT; ++row) {
        spans += starting[row];
        work += spans + ROW_WORK;
        if (work * 100 >= total * (shares + BAND_SHARE[frame.bands])) {
            shares += BAND_SHARE[frame.bands];
            frame.band_first[++frame.bands] = row + 1;
        }
    }
    frame.band_first[++frame.bands] = height;
}

// Lists, band by band, the triangles that reach it. Each band looking
// through every triangle of the frame for its own cost a branch that, in
// drawing order, falls either way at random.
void list_band_triangles(FillFrame &frame)
{
    static_assert(BAND_COUNT <= 256, "a band's number fits a byte");
    for (int band = 0; band < frame.bands; ++band)
        std::fill(frame.band_of_row + frame.band_first[band], frame.band_of_row + frame.band_first[band + 1],
                  static_cast<uint8_t>(band));
    int *start = frame.band_start;
    std::fill(start, start + frame.bands + 1, 0);
    for (const RowRange &rows : frame.rows)
        for (int band = frame.band_of_row[rows.first]; band <= frame.band_of_row[rows.end - 1]; ++band)
            ++start[band + 1];
    for (int band = 0; band < frame.bands; ++band)
        start[band + 1] += start[band];
    frame.band_triangles.resize(static_cast<size_t>(start[frame.bands]));
    // Filled from each band's start on, which leaves start[k] at band k + 1's
    // start; shifted back afterwards.
    for (size_t i = 0; i < frame.rows.size(); ++i) {
        const RowRange &rows = frame.rows[i];
        for (int band = frame.band_of_row[rows.first]; band <= frame.band_of_row[rows.end - 1]; ++band)
            frame.band_triangles[static_cast<size_t>(start[band]++)] = static_cast<uint32_t>(i);
    }
    for (int band = frame.bands; band > 0; --band)
        start[band] = start[band - 1];
    start[0] = 0;
}

// Four depths a store: the compiler leaves std::fill's loop one at a time,
// and a frame clears 480,000 of them.
void clear_depth_rows(const Canvas &canvas, int begin, int end)
{
    static_assert(DEPTH_WIDTH % 4 == 0, "rows of whole groups of four");
#if RASTER_SSE2_PATHS
    const __m128i clear = _mm_set1_epi32(DEPTH_CLEAR);
    int32_t *const last = canvas.depth + end * DEPTH_WIDTH;
    for (int32_t *depth = canvas.depth + begin * DEPTH_WIDTH; depth < last; depth += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(depth), clear);
#else
    std::fill(canvas.depth + begin * DEPTH_WIDTH, canvas.depth + end * DEPTH_WIDTH, DEPTH_CLEAR);
#endif
}

// Band band of the frame: its rows of the depth buffer cleared, then every
// triangle that reaches it in order. The drawer's walks go on from the band
// above when go_on is set; otherwise a triangle that began above is walked
// down from its top without drawing.
void draw_band(FillFrame &frame, int drawer, int band, bool go_on)
{
    const int begin = frame.band_first[band];
    const int end = frame.band_first[band + 1];
    // Cleared here rather than all at once before the frame: on the thread
    // that draws the band, and just before its rows are drawn.
    clear_depth_rows(frame.canvas, begin, end);
    std::vector<Walk> &walks = frame.walks[drawer];
    const uint32_t *listed = frame.band_triangles.data();
    for (int k = frame.band_start[band]; k < frame.band_start[band + 1]; ++k) {
        const uint32_t i = listed[k];
        const RowRange &rows = frame.rows[i];
        const BandTriangle &t = frame.triangles[i];
        if (!go_on || rows.first >= begin)
            walks[i] = t.start;
        walk_rows(frame.canvas, t.shading, t.edges, walks[i], static_cast<float>(begin), static_cast<float>(end));
    }
    if (frame.done.rows)
        frame.done.rows(begin, end, frame.done.argument);
}

// The rows below the depth buffer's, which no triangle reaches.
void finish_rows_past_canvas(const FillFrame &frame)
{
    if (frame.done.rows && frame.target_rows > frame.canvas.height)
        frame.done.rows(frame.canvas.height, frame.target_rows, frame.done.argument);
}

// Takes the next band from the top (or the bottom); -1 when none is left.
int take_band(FillFrame &frame, bool from_top)
{
    int band, end;
    return items_take(frame.bands_left, from_top, 1, band, end) ? band : -1;
}

// The worker's share: bands from the bottom up, each walked afresh.
void draw_worker_bands(void *frame)
{
    FillFrame &f = *static_cast<FillFrame *>(frame);
    for (int band; (band = take_band(f, false)) >= 0;)
        draw_band(f, 1, band, false);
}

} // namespace

FillFrame *fill_frame_new(bool with_worker)
{
    FillFrame *frame = new (std::nothrow) FillFrame();
    if (frame)
        frame->with_worker = with_worker;
    return frame;
}

void fill_frame_free(FillFrame *frame)
{
    if (!frame)
        return;
    frame_worker_stop(frame->worker);
    delete frame;
}

void fill_frame_begin(FillFrame *frame, SDL_Surface *target, int32_t *depth, ShadeCache *cache, RowsDone done)
{
    frame->canvas = canvas_for(target, depth);
    frame->target_rows = target->h;
    frame->cache = cache;
    frame->done = done;
    if (cache)
        ++cache->frame;
    frame->triangles.clear();
    frame->rows.clear();
    frame->has_last = false;
}

namespace {

// Makes triangle t ready and keeps it when it draws a row (its shading is
// set afterwards, on the caller's thread, which owns the cache).
void make_ready(const Canvas &canvas, const Triangle &t, std::vector<BandTriangle> &triangles,
                std::vector<RowRange> &rows)
{
    Edges e;
    if (!prepare_triangle(canvas, t.x0, t.y0, t.z0, t.x1, t.y1, t.z1, t.x2, t.y2, t.z2, e))
        return;
    // Rows from the top vertex's (or the target's first) to the bottom
    // vertex's (excluded, or the target's end).
    const float height = static_cast<float>(canvas.height);
    RowRange range{e.o.top.y < 0.0f ? 0 : static_cast<int>(e.o.top.y),
                   e.o.bottom.y > height ? canvas.height : static_cast<int>(e.o.bottom.y)};
    if (range.first >= range.end)
        return;
    // Rows above the target are walked but never drawn, so the walk there
    // reads no shading; the cached one is set later (see set_shadings).
    const Shading uncached{t.colour, nullptr};
    Walk start = walk_start(e);
    if (e.o.top.y < 0.0f)
        walk_rows(canvas, uncached, e, start, 0.0f, 0.0f);
    triangles.push_back(BandTriangle{e, uncached, start});
    rows.push_back(range);
}

// What the worker makes ready: the triangles of a stretch of the drawing order.
struct ReadyJob {
    const FillFrame *frame;
    const Triangle *triangles;
    const uint32_t *order;
    size_t begin, end;
    ReadyTriangles *out;
};

// Makes the triangles of order[begin] .. order[end - 1] ready. Drawing
// order leaps about the frame's triangle records, which are too many to
// stay in cache, so each is asked for some triangles ahead.
void make_all_ready(const Canvas &canvas, const Triangle *triangles, const uint32_t *order, size_t begin,
                    size_t end, std::vector<BandTriangle> &out, std::vector<RowRange> &rows)
{
    constexpr size_t AHEAD = 8;
    for (size_t i = begin; i < end; ++i) {
        if (i + AHEAD < end) {
            const char *next = reinterpret_cast<const char *>(&triangles[order[i + AHEAD]]);
            __builtin_prefetch(next);
            __builtin_prefetch(next + sizeof(Triangle) - 1);
        }
        make_ready(canvas, triangles[order[i]], out, rows);
    }
}

void make_stretch_ready(void *job)
{
    const ReadyJob &j = *static_cast<const ReadyJob *>(job);
    j.out->triangles.clear();
    j.out->rows.clear();
    make_all_ready(j.frame->canvas, j.triangles, j.order, j.begin, j.end, j.out->triangles, j.out->rows);
}

// The shadings of the triangles from first on, looked up in drawing order.
// Past the cache's colours a triangle shades from the table itself; a
// frame's triangles come in long runs of one colour, looked up once a run.
void set_shadings(FillFrame &frame, size_t first)
{
    for (size_t i = first; i < frame.triangles.size(); ++i) {
        Shading &shading = frame.triangles[i].shading;
        if (!frame.has_last || frame.last_colour != shading.colour) {
            frame.last_colour = shading.colour;
            frame.last_cached = frame.cache ? shade_cache_entries(frame.cache, shading.colour, true) : nullptr;
            frame.has_last = true;
        }
        shading.cached = frame.last_cached;
    }
}

} // namespace

void fill_frame_add_all(FillFrame *frame, const Triangle *triangles, const uint32_t *order, size_t count)
{
    const size_t first = frame->triangles.size();
    // The later half made ready by the worker, when there is one and the
    // frame is worth it, while the caller makes the earlier half ready.
    const size_t half = frame->worker && count >= WORKER_LEAST_TRIANGLES ? count / 2 : count;
    ReadyJob job{frame, triangles, order, half, count, &frame->later};
    if (half < count) {
        frame_worker_offer(frame->worker, make_stretch_ready, &job);
    } else {
        // Room for the worker's share, so that the frames after it starts
        // allocate nothing either.
        frame->later.triangles.reserve(count);
        frame->later.rows.reserve(count);
    }
    make_all_ready(frame->canvas, triangles, order, 0, half, frame->triangles, frame->rows);
    if (half < count) {
        if (!frame_worker_finish(frame->worker))
            make_stretch_ready(&job);
        frame->triangles.insert(frame->triangles.end(), frame->later.triangles.begin(), frame->later.triangles.end());
        frame->rows.insert(frame->rows.end(), frame->later.rows.begin(), frame->later.rows.end());
    }
    set_shadings(*frame, first);
}

FrameWorker *fill_frame_worker(const FillFrame *frame)
{
    return frame->worker;
}

void fill_frame_draw(FillFrame *frame)
{
    const size_t count = frame->triangles.size();
    if (count == 0) {
        clear_depth_rows(frame->canvas, 0, frame->canvas.height);
        if (frame->done.rows && frame->canvas.height > 0)
            frame->done.rows(0, frame->canvas.height, frame->done.argument);
        finish_rows_past_canvas(*frame);
        return;
    }
    if (frame->with_worker && !frame->worker && !frame->worker_failed && count >= WORKER_LEAST_TRIANGLES) {
        frame->worker = frame_worker_start();
        frame->worker_failed = !frame->worker;
    }
    frame->walks[0].resize(count);
    cut_bands(*frame);
    list_band_triangles(*frame);
    const int bands = frame->bands;
    if (!frame->worker || count < WORKER_LEAST_TRIANGLES) {
        for (int band = 0; band < bands; ++band)
            draw_band(*frame, 0, band, band > 0);
        finish_rows_past_canvas(*frame);
        return;
    }
    frame->walks[1].resize(count);
    items_open(frame->bands_left, 0, bands);
    frame_worker_offer(frame->worker, draw_worker_bands, frame);
    // From the top down, each band going on from the one above, until the
    // worker's bands are reached (or to the bottom, if it never got going).
    for (int band, previous = -1; (band = take_band(*frame, true)) >= 0; previous = band)
        draw_band(*frame, 0, band, previous >= 0 && band == previous + 1);
    frame_worker_finish(frame->worker);
    finish_rows_past_canvas(*frame);
}
