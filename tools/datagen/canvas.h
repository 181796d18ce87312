// canvas.h — the generator's drawing board: float pictures, coverage masks,
// anti-aliased shapes, noise, blur, and the BMP and PNG writers.
//
// Colours are 0..1 doubles; a picture is quantised to bytes only when it is
// written, with round-half-up on exact IEEE results, so the bytes are the same
// on every machine (see detmath.h).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Colour {
    double r, g, b;
};
Colour mix(Colour a, Colour b, double t);
Colour scale(Colour a, double k);
Colour add(Colour a, Colour b);
Colour rgb8(int r, int g, int b);   // from bytes

struct Point {
    double x, y;
};

// An RGB picture of floats, row by row from the top.
struct Image {
    int w = 0, h = 0;
    std::vector<float> px;   // 3 per pixel
    Image() = default;
    Image(int width, int height, Colour fill = {0, 0, 0});
    Colour get(int x, int y) const;
    void set(int x, int y, Colour c);
    // Lays c over the pixel with opacity a (0..1).
    void blend(int x, int y, Colour c, double a);
    // Adds c times a (light: glows, sparkles), clamped at 1 when written.
    void add_light(int x, int y, Colour c, double a);
};

// One channel of coverage or intensity, 0..1.
struct Mask {
    int w = 0, h = 0;
    std::vector<float> v;
    Mask() = default;
    Mask(int width, int height, float fill = 0.0f);
    float &at(int x, int y) { return v[(size_t)y * w + x]; }
    float at(int x, int y) const { return v[(size_t)y * w + x]; }
};

// ---- shapes (coverage combined with max, times value) -----------------------

// Any shape given by a signed distance (negative inside) over a bounding box.
void mask_sdf(Mask &m, double x0, double y0, double x1, double y1,
              const std::function<double(double, double)> &distance, double value = 1.0);
void mask_disc(Mask &m, double cx, double cy, double radius, double value = 1.0);
void mask_ring(Mask &m, double cx, double cy, double radius, double half_width, double value = 1.0);
void mask_ellipse(Mask &m, double cx, double cy, double rx, double ry, double angle, double value = 1.0);
void mask_capsule(Mask &m, double x0, double y0, double x1, double y1, double radius, double value = 1.0);
// Filled contours (non-zero winding), 4 sub-rows per pixel and exact
// horizontal coverage. Several contours make holes or unions.
void mask_polygon(Mask &m, const std::vector<std::vector<Point>> &contours, double value = 1.0);
void mask_polygon(Mask &m, const std::vector<Point> &contour, double value = 1.0);
// Polyline stroke of the given radius.
void mask_stroke(Mask &m, const std::vector<Point> &points, double radius, double value = 1.0);
// Quadratic and cubic curves as polylines.
std::vector<Point> quad_curve(Point a, Point control, Point b, int steps);
std::vector<Point> cubic_curve(Point a, Point c1, Point c2, Point b, int steps);

// ---- compositing ----------------------------------------------------------------

void paint(Image &img, const Mask &m, Colour c, double opacity = 1.0, int dx = 0, int dy = 0);
void paint_fn(Image &img, const Mask &m, const std::function<Colour(int, int)> &colour,
              double opacity = 1.0);
void light(Image &img, const Mask &m, Colour c, double strength = 1.0);
void mask_max(Mask &dst, const Mask &src, double k = 1.0, int dx = 0, int dy = 0);
void mask_add(Mask &dst, const Mask &src, double k = 1.0);
Mask mask_blur(const Mask &m, double radius, bool wrap_x = false, bool wrap_y = false);
void image_blur(Image &img, double radius, bool wrap_x = false, bool wrap_y = false);
// The mask as a grey picture (r = g = b), optionally with a soft glow around it.
Image grey_image(const Mask &m);
Mask with_glow(const Mask &m, double radius, double strength);
// Fades the mask to 0 over the outermost pixels, so a sprite's rectangle never shows.
void fade_edges(Mask &m, int pixels);
// Signed distance in pixels from each pixel centre to the edge of the shape
// where the mask is at least 0.5: negative inside, positive outside (exact
// Euclidean distance between pixel centres, less half a pixel).
Mask mask_distance(const Mask &m);
// The shape grown by `grow` pixels (negative: thinned), solid inside, with an
// anti-aliased rim `edge` pixels wide and nothing beyond it.
Mask solid_shape(const Mask &m, double grow, double edge);

// ---- noise -------------------------------------------------------------------------

// Smooth value noise in [0, 1) at lattice coordinates (u, v); it repeats every
// period_u and period_v cells (0: never).
double value_noise(double u, double v, int period_u, int period_v, uint64_t seed);
// Sum of octaves: each doubles the frequency and the periods, scaled by gain.
double fbm(double u, double v, int period_u, int period_v, int octaves, double gain, uint64_t seed);
// Distance to the nearest and second-nearest feature point of a cell grid
// with one jittered point per cell; wraps every period_u x period_v cells.
// (near_u, near_v) is the nearest point itself.
void cell_distances(double u, double v, int period_u, int period_v, uint64_t seed,
                    double &nearest, double &second, uint64_t &cell_id, double &near_u, double &near_v);

double smoothstep(double edge0, double edge1, double x);
double clamp01(double x);

// ---- files ---------------------------------------------------------------------------

// Bytes of the picture, 3 per pixel (r, g, b), rounding half up.
std::vector<uint8_t> image_bytes(const Image &img);
// 24-bit bottom-up BMP. Throws std::runtime_error on failure.
void write_bmp(const std::string &path, const Image &img);
// PNG, for looking at the pictures (debug mode only).
void write_png(const std::string &path, const Image &img);
// PNG with alpha from 4 bytes per pixel (r, g, b, alpha), rows from the top.
void write_png_rgba(const std::string &path, int w, int h, const std::vector<uint8_t> &rgba);
