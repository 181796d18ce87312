// triangulate.cpp — ear clipping with hole bridging.
#include "triangulate.h"
#include "detmath.h"
#include <algorithm>
#include <cmath>
#include <stdexcept>

double contour_area(const std::vector<Point> &c)
{
    double a = 0.0;
    for (size_t i = 0; i < c.size(); i++) {
        const Point &p = c[i], &q = c[(i + 1) % c.size()];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2.0;
}

static double cross(Point o, Point a, Point b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

std::vector<Point> simplify_contour(const std::vector<Point> &contour, double tolerance)
{
    std::vector<Point> c = contour;
    bool changed = true;
    while (changed && c.size() > 3) {
        changed = false;
        for (size_t i = 0; i < c.size() && c.size() > 3; i++) {
            const Point &p = c[(i + c.size() - 1) % c.size()], &q = c[i], &r = c[(i + 1) % c.size()];
            double len = std::sqrt((r.x - p.x) * (r.x - p.x) + (r.y - p.y) * (r.y - p.y));
            double dist = len > 0 ? std::fabs(cross(p, r, q)) / len : std::sqrt((q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y));
            if (dist < tolerance) {
                c.erase(c.begin() + (long)i);
                changed = true;
            }
        }
    }
    return c;
}

static bool inside_contour(const std::vector<Point> &c, Point p)
{
    bool in = false;
    for (size_t i = 0, j = c.size() - 1; i < c.size(); j = i++) {
        if ((c[i].y > p.y) != (c[j].y > p.y) &&
            p.x < (c[j].x - c[i].x) * (p.y - c[i].y) / (c[j].y - c[i].y) + c[i].x)
            in = !in;
    }
    return in;
}

static bool in_triangle(Point p, Point a, Point b, Point c)
{
    const double eps = -1e-12;
    return cross(a, b, p) >= eps && cross(b, c, p) >= eps && cross(c, a, p) >= eps;
}

// Joins a hole (clockwise) into the outer contour (counter-clockwise) by a
// two-way cut from the hole's rightmost point to a vertex it can see.
static void bridge_hole(std::vector<Point> &outer, const std::vector<Point> &hole)
{
    size_t m = 0;
    for (size_t i = 1; i < hole.size(); i++)
        if (hole[i].x > hole[m].x)
            m = i;
    Point mp = hole[m];
    // Nearest crossing of the ray to the right.
    double best_x = 1e300;
    size_t best_edge = 0;
    bool found = false;
    for (size_t i = 0; i < outer.size(); i++) {
        Point a = outer[i], b = outer[(i + 1) % outer.size()];
        if ((a.y > mp.y) == (b.y > mp.y))
            continue;
        double x = a.x + (mp.y - a.y) * (b.x - a.x) / (b.y - a.y);
        if (x >= mp.x && x < best_x) {
            best_x = x;
            best_edge = i;
            found = true;
        }
    }
    if (!found)
        throw std::runtime_error("triangulate: hole outside its contour");
    Point ip = {best_x, mp.y};
    size_t a = best_edge, b = (best_edge + 1) % outer.size();
    size_t pick = outer[a].x > outer[b].x ? a : b;
    // A reflex vertex inside the triangle (mp, ip, pick) would block the view:
    // take the one of those with the smallest angle to the ray instead.
    double best_angle = 1e300;
    for (size_t i = 0; i < outer.size(); i++) {
        if (i == pick)
            continue;
        Point q = outer[i];
        Point prev = outer[(i + outer.size() - 1) % outer.size()], next = outer[(i + 1) % outer.size()];
        bool reflex = cross(prev, q, next) <= 0;
        if (!reflex || q.x < mp.x)
            continue;
        Point t0 = mp, t1 = ip, t2 = outer[pick];
        if (cross(t0, t1, t2) < 0)
            std::swap(t1, t2);
        if (in_triangle(q, t0, t1, t2)) {
            double angle = std::fabs(det::atan2(q.y - mp.y, q.x - mp.x));
            if (angle < best_angle) {
                best_angle = angle;
                pick = i;
            }
        }
    }
    std::vector<Point> merged(outer.begin(), outer.begin() + (long)pick + 1);
    for (size_t k = 0; k <= hole.size(); k++)
        merged.push_back(hole[(m + k) % hole.size()]);
    merged.push_back(outer[pick]);
    merged.insert(merged.end(), outer.begin() + (long)pick + 1, outer.end());
    outer.swap(merged);
}

static void clip_ears(std::vector<Point> poly, std::vector<Triangle2> &out)
{
    std::vector<size_t> idx(poly.size());
    for (size_t i = 0; i < idx.size(); i++)
        idx[i] = i;
    size_t guard = 0;
    while (idx.size() > 3 && guard < 100000) {
        guard++;
        bool clipped = false;
        size_t n = idx.size();
        for (size_t i = 0; i < n; i++) {
            Point a = poly[idx[(i + n - 1) % n]], b = poly[idx[i]], c = poly[idx[(i + 1) % n]];
            if (cross(a, b, c) <= 1e-12)
                continue;   // reflex or flat
            bool empty = true;
            for (size_t k = 0; k < n && empty; k++) {
                Point p = poly[idx[k]];
                if ((p.x == a.x && p.y == a.y) || (p.x == b.x && p.y == b.y) || (p.x == c.x && p.y == c.y))
                    continue;   // the ear's own corners, or their bridged twins
                if (in_triangle(p, a, b, c))
                    empty = false;
            }
            if (!empty)
                continue;
            out.push_back({a, b, c});
            idx.erase(idx.begin() + (long)i);
            clipped = true;
            break;
        }
        if (!clipped) {
            // Only flat corners remain (collinear runs): drop one without a triangle.
            bool dropped = false;
            for (size_t i = 0; i < n; i++) {
                Point a = poly[idx[(i + n - 1) % n]], b = poly[idx[i]], c = poly[idx[(i + 1) % n]];
                if (std::fabs(cross(a, b, c)) <= 1e-9) {
                    idx.erase(idx.begin() + (long)i);
                    dropped = true;
                    break;
                }
            }
            if (!dropped)
                throw std::runtime_error("triangulate: no ear found");
        }
    }
    if (idx.size() == 3 && cross(poly[idx[0]], poly[idx[1]], poly[idx[2]]) > 1e-12)
        out.push_back({poly[idx[0]], poly[idx[1]], poly[idx[2]]});
}

std::vector<Triangle2> triangulate(const std::vector<std::vector<Point>> &input)
{
    std::vector<std::vector<Point>> contours;
    for (auto &c : input)
        if (c.size() >= 3 && std::fabs(contour_area(c)) > 1e-9)
            contours.push_back(c);
    size_t n = contours.size();
    std::vector<int> depth(n, 0);
    for (size_t i = 0; i < n; i++)
        for (size_t j = 0; j < n; j++)
            if (i != j && inside_contour(contours[j], contours[i][0]))
                depth[i]++;
    double expected = 0.0;
    std::vector<Triangle2> out;
    for (size_t i = 0; i < n; i++) {
        if (depth[i] % 2)
            continue;
        std::vector<Point> outer = contours[i];
        if (contour_area(outer) < 0)
            std::reverse(outer.begin(), outer.end());
        expected += contour_area(outer);
        // Its holes: contours one level deeper that lie inside it.
        std::vector<std::vector<Point>> holes;
        for (size_t j = 0; j < n; j++)
            if (depth[j] == depth[i] + 1 && inside_contour(contours[i], contours[j][0])) {
                std::vector<Point> h = contours[j];
                if (contour_area(h) > 0)
                    std::reverse(h.begin(), h.end());
                expected += contour_area(h);
                holes.push_back(h);
            }
        std::sort(holes.begin(), holes.end(), [](const std::vector<Point> &a, const std::vector<Point> &b) {
            double ax = -1e300, bx = -1e300;
            for (auto &p : a)
                ax = std::max(ax, p.x);
            for (auto &p : b)
                bx = std::max(bx, p.x);
            return ax > bx;
        });
        for (auto &h : holes)
            bridge_hole(outer, h);
        clip_ears(outer, out);
    }
    double got = 0.0;
    for (auto &t : out)
        got += cross(t[0], t[1], t[2]) / 2.0;
    if (std::fabs(got - expected) > 1e-6 * std::max(1.0, std::fabs(expected)) + 1e-9)
        throw std::runtime_error("triangulate: triangles do not cover the outline");
    return out;
}
