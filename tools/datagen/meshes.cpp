// meshes.cpp — the grass blade, the cube, the car and the greeting plates.
//
// Each mesh is modelled for the pose its scene gives it (the renderer turns
// by rz, then rx, then ry, each step with a mirror):
// - grass: rx = -90 radians turns the model's +z up the screen and a little
//   away, so a blade grows along +z from its root at the origin;
// - car: rx = 3pi/2 and ry ~ pi make +z point up the screen and +y away from
//   the viewer, with x mirrored; the car's front (lamps) faces -y;
// - plates: rx = 165 degrees shows the x-y plane upright (+y up), seen from
//   its -z side; the lettering stands in front of the frame at smaller z.
// There is no lighting, only fading with depth, so shapes are told apart by
// their outlines: open frames, gaps and parts standing proud.
#include "meshes.h"
#include "detmath.h"
#include "greetings.h"
#include "text.h"
#include "triangulate.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace {

Vec3 v3(double x, double y, double z) { return {x, y, z}; }
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 unit(Vec3 a)
{
    double l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return l > 0 ? a * (1.0 / l) : a;
}

void quad(TriMesh &m, Vec3 a, Vec3 b, Vec3 c, Vec3 d)
{
    m.push_back({a, b, c});
    m.push_back({a, c, d});
}

void box(TriMesh &m, Vec3 lo, Vec3 hi)
{
    Vec3 p[8];
    for (int i = 0; i < 8; i++)
        p[i] = {i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z};
    quad(m, p[0], p[1], p[3], p[2]);
    quad(m, p[4], p[5], p[7], p[6]);
    quad(m, p[0], p[1], p[5], p[4]);
    quad(m, p[2], p[3], p[7], p[6]);
    quad(m, p[0], p[2], p[6], p[4]);
    quad(m, p[1], p[3], p[7], p[5]);
}

// A square bar of half-thickness r from a to b.
void bar(TriMesh &m, Vec3 a, Vec3 b, double r)
{
    Vec3 axis = unit(b - a);
    Vec3 helper = std::fabs(axis.z) < 0.9 ? v3(0, 0, 1) : v3(1, 0, 0);
    Vec3 u = unit(cross(axis, helper)) * r, w = unit(cross(axis, u)) * r;
    Vec3 c[4] = {u + w, u - w, u * -1.0 - w, w - u};
    for (int i = 0; i < 4; i++)
        quad(m, a + c[i], a + c[(i + 1) % 4], b + c[(i + 1) % 4], b + c[i]);
    quad(m, a + c[0], a + c[1], a + c[2], a + c[3]);
    quad(m, b + c[0], b + c[1], b + c[2], b + c[3]);
}

// A closed cylinder around the axis from a to b.
void cylinder(TriMesh &m, Vec3 a, Vec3 b, double radius, int segments)
{
    Vec3 axis = unit(b - a);
    Vec3 helper = std::fabs(axis.z) < 0.9 ? v3(0, 0, 1) : v3(1, 0, 0);
    Vec3 u = unit(cross(axis, helper)), w = unit(cross(axis, u));
    for (int i = 0; i < segments; i++) {
        double a0 = det::TWO_PI * i / segments, a1 = det::TWO_PI * (i + 1) / segments;
        Vec3 r0 = u * (det::cos(a0) * radius) + w * (det::sin(a0) * radius);
        Vec3 r1 = u * (det::cos(a1) * radius) + w * (det::sin(a1) * radius);
        quad(m, a + r0, a + r1, b + r1, b + r0);
        m.push_back({a, a + r0, a + r1});
        m.push_back({b, b + r1, b + r0});
    }
}

// A sphere of slices x stacks quads (the poles as triangle fans).
void sphere(TriMesh &m, Vec3 c, double rx, double ry, double rz, int slices, int stacks)
{
    auto at = [&](int i, int j) {
        double th = det::PI * j / stacks, ph = det::TWO_PI * i / slices;
        return v3(c.x + rx * det::sin(th) * det::cos(ph), c.y + ry * det::sin(th) * det::sin(ph), c.z + rz * det::cos(th));
    };
    for (int j = 0; j < stacks; j++)
        for (int i = 0; i < slices; i++) {
            if (j == 0)
                m.push_back({at(i, 0), at(i, 1), at(i + 1, 1)});
            else if (j == stacks - 1)
                m.push_back({at(i, j), at(i, j + 1), at(i + 1, j)});
            else
                quad(m, at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j));
        }
}

// A flat polygon (with holes) lying in a plane: to3d maps a 2D point there.
template <class Map> void flat(TriMesh &m, const std::vector<std::vector<Point>> &contours, Map to3d)
{
    for (const Triangle2 &t : triangulate(contours))
        m.push_back({to3d(t[0]), to3d(t[1]), to3d(t[2])});
}

// A polygon in the y-z plane, extruded across x from x0 to x1: both faces and the rim.
void extrude_yz(TriMesh &m, const std::vector<Point> &profile, double x0, double x1)
{
    flat(m, {profile}, [&](Point p) { return v3(x0, p.x, p.y); });
    flat(m, {profile}, [&](Point p) { return v3(x1, p.x, p.y); });
    for (size_t i = 0; i < profile.size(); i++) {
        Point p = profile[i], q = profile[(i + 1) % profile.size()];
        quad(m, v3(x0, p.x, p.y), v3(x0, q.x, q.y), v3(x1, q.x, q.y), v3(x1, p.x, p.y));
    }
}

// ---- grass and cube ------------------------------------------------------------------

TriMesh make_grass()
{
    // A blade 17 units long, bowed to one side, with a flat triangular section
    // (0.46 wide, 0.12 deep at the root) so it shows edge-on as well.
    TriMesh m;
    const int SEGMENTS = 6;
    const double LENGTH = 17.0;
    auto ring = [&](int i) {
        double t = (double)i / SEGMENTS;
        double x = 1.1 * t * t, z = LENGTH * t;
        double w = 0.23 * (1.0 - 0.85 * t), th = 0.12 * (1.0 - 0.8 * t);
        std::vector<Vec3> r = {v3(x - w, -th / 2, z), v3(x + w, -th / 2, z), v3(x, th, z)};
        return r;
    };
    for (int i = 0; i + 1 < SEGMENTS; i++) {
        auto a = ring(i), b = ring(i + 1);
        for (int k = 0; k < 3; k++)
            quad(m, a[k], a[(k + 1) % 3], b[(k + 1) % 3], b[k]);
    }
    auto last = ring(SEGMENTS - 1);
    Vec3 tip = v3(1.1, 0.0, LENGTH);
    for (int k = 0; k < 3; k++)
        m.push_back({last[k], last[(k + 1) % 3], tip});
    return m;
}

// A bar from a to b with a diamond section of half-diagonal r: its ridge
// stands nearer the viewer than its flanks, so the depth shading draws a
// bright bevel along it.
void diamond_bar(TriMesh &m, Vec3 a, Vec3 b, double r)
{
    Vec3 axis = unit(b - a);
    Vec3 helper = std::fabs(axis.z) < 0.9 ? v3(0, 0, 1) : v3(1, 0, 0);
    Vec3 u = unit(cross(axis, helper)) * r, w = unit(cross(axis, u)) * r;
    Vec3 c[4] = {u, w, u * -1.0, w * -1.0};
    for (int i = 0; i < 4; i++)
        quad(m, a + c[i], a + c[(i + 1) % 4], b + c[(i + 1) % 4], b + c[i]);
    quad(m, a + c[0], a + c[1], a + c[2], a + c[3]);
    quad(m, b + c[0], b + c[1], b + c[2], b + c[3]);
}

// Where the cube's centre lies from the object's origin. Scene 4 places the
// two cubes at the screen's lower corners and turns them by the same angle
// about two axes; the geometry orbits that origin, and from this point the
// orbit carries each cube across the frame and back, one in while the other
// swings out, so they are seen whole for much of the scene instead of half
// under the leaves at the corners.
const Vec3 CUBE_CENTRE = {-10.0, -8.0, 0.0};
const double CUBE_HALF = 1.3;

TriMesh make_cube()
{
    // An open cube: twelve bevelled edge bars and a chunky block at each corner.
    TriMesh m;
    const double S = CUBE_HALF, BAR = 0.26, NODE = 0.3;
    Vec3 corner[8];
    for (int i = 0; i < 8; i++)
        corner[i] = CUBE_CENTRE + v3(i & 1 ? S : -S, i & 2 ? S : -S, i & 4 ? S : -S);
    for (int i = 0; i < 8; i++)
        for (int bit = 1; bit < 8; bit <<= 1)
            if (!(i & bit))
                diamond_bar(m, corner[i], corner[i | bit], BAR);
    for (int i = 0; i < 8; i++)
        box(m, corner[i] - v3(NODE, NODE, NODE), corner[i] + v3(NODE, NODE, NODE));
    return m;
}

// ---- the car ---------------------------------------------------------------------------
// Units: x across (+-2), y from the front (-4) to the back (+4), z up from
// the road (0). An open tourer: bonnet, a sunken cockpit with two seats,
// flared wings over the wheels, a windscreen frame.

const double WHEEL_X = 2.05, WHEEL_Y = 2.6, WHEEL_R = 0.75;

// A loft: closed cross-sections in x-z, one per station along y, joined by
// quads; the first section is capped (the front).
void loft(TriMesh &m, const std::vector<std::vector<Vec3>> &sections, bool cap_front)
{
    for (size_t k = 0; k + 1 < sections.size(); k++) {
        const std::vector<Vec3> &a = sections[k], &b = sections[k + 1];
        for (size_t i = 0; i < a.size(); i++)
            quad(m, a[i], a[(i + 1) % a.size()], b[(i + 1) % a.size()], b[i]);
    }
    if (cap_front)
        for (size_t i = 1; i + 1 < sections[0].size(); i++)
            m.push_back({sections[0][0], sections[0][i], sections[0][i + 1]});
}

// The bonnet's section at station y: half-width w, top at h, shoulders rounded.
std::vector<Vec3> bonnet_section(double y, double w, double h)
{
    return {v3(-w, y, 0.45), v3(-w, y, h - 0.3), v3(-w * 0.82, y, h - 0.06), v3(-w * 0.4, y, h),
            v3(w * 0.4, y, h), v3(w * 0.82, y, h - 0.06), v3(w, y, h - 0.3), v3(w, y, 0.45)};
}

// A wing arching over a wheel: a band of `segments` steps on a half circle
// around the wheel's axis, its outer face and its top.
void wheel_arch(TriMesh &m, double x_inner, double x_outer, double wheel_y, int segments)
{
    const double R = WHEEL_R + 0.22, T = 0.16;   // clearance over the tyre, and the wing's thickness
    for (int i = 0; i < segments; i++) {
        double a0 = det::PI * i / segments, a1 = det::PI * (i + 1) / segments;
        auto at = [&](double a, double r, double x) { return v3(x, wheel_y - det::cos(a) * r, WHEEL_R + det::sin(a) * r * 0.9); };
        quad(m, at(a0, R + T, x_inner), at(a1, R + T, x_inner), at(a1, R + T, x_outer), at(a0, R + T, x_outer));   // top
        quad(m, at(a0, R, x_outer), at(a1, R, x_outer), at(a1, R + T, x_outer), at(a0, R + T, x_outer));           // face
    }
}

TriMesh make_car_body()
{
    TriMesh m;
    // The bonnet: low and rounded at the radiator, rising to the scuttle.
    loft(m, {bonnet_section(-4.05, 1.55, 1.2), bonnet_section(-3.6, 1.8, 1.38), bonnet_section(-2.2, 1.9, 1.5),
             bonnet_section(-1.1, 1.95, 1.58)}, true);
    // The radiator shell standing proud of the nose.
    box(m, v3(-1.2, -4.22, 0.55), v3(1.2, -4.05, 1.12));
    // The tub: the cockpit's floor and the rounded tail behind it.
    std::vector<Point> tub = {{-1.1, 0.45}, {4.0, 0.45}, {4.1, 1.0}, {3.9, 1.45}, {3.0, 1.6}, {2.9, 1.0}, {-1.1, 1.0}};
    extrude_yz(m, tub, -1.95, 1.95);
    for (int side = -1; side <= 1; side += 2) {
        double x0 = side * 1.75, x1 = side * 1.95;
        box(m, v3(std::min(x0, x1), -1.2, 1.0), v3(std::max(x0, x1), 2.95, 1.62));   // door sides
        double a = side * 1.7, b = side * 2.4;
        for (int end = -1; end <= 1; end += 2)
            wheel_arch(m, std::min(a, b), std::max(a, b), end * WHEEL_Y, 5);
        // Windscreen posts, leaning back.
        bar(m, v3(side * 1.7, -1.25, 1.55), v3(side * 1.6, -0.85, 2.6), 0.07);
    }
    bar(m, v3(-1.6, -0.85, 2.6), v3(1.6, -0.85, 2.6), 0.07);
    box(m, v3(-1.65, 0.55, 1.0), v3(1.65, 0.85, 2.05));   // front seat back
    box(m, v3(-1.65, 2.5, 1.0), v3(1.65, 2.85, 2.0));     // rear bench back
    box(m, v3(-2.1, -4.45, 0.5), v3(2.1, -4.25, 0.74));   // bumpers
    box(m, v3(-2.1, 4.1, 0.5), v3(2.1, 4.3, 0.74));
    return m;
}

// A tyre: tread and a chamfered outer shoulder around `segments` steps (the
// inner side faces the body and is never seen), the outer wall as a fan,
// and a hub cap standing out from it.
void tyre(TriMesh &m, double x_inner, double x_outer, double y, int segments)
{
    const double R = WHEEL_R, CHAMFER = 0.14, HUB = 0.36;
    double side = x_outer > x_inner ? 1.0 : -1.0;
    Vec3 axis = v3(x_outer, y, WHEEL_R), hub = v3(x_outer + side * 0.08, y, WHEEL_R);
    for (int i = 0; i < segments; i++) {
        double a0 = det::TWO_PI * i / segments, a1 = det::TWO_PI * (i + 1) / segments;
        auto at = [&](double a, double r, double x) { return v3(x, y + det::cos(a) * r, WHEEL_R + det::sin(a) * r); };
        double xi = x_inner + side * CHAMFER, xo = x_outer - side * CHAMFER;
        quad(m, at(a0, R, xi), at(a1, R, xi), at(a1, R, xo), at(a0, R, xo));                              // tread
        quad(m, at(a0, R, xo), at(a1, R, xo), at(a1, R - CHAMFER, x_outer), at(a0, R - CHAMFER, x_outer));  // shoulder
        m.push_back({axis, at(a0, R - CHAMFER, x_outer), at(a1, R - CHAMFER, x_outer)});                    // wall
        Vec3 h0 = at(a0, HUB, x_outer + side * 0.08), h1 = at(a1, HUB, x_outer + side * 0.08);
        m.push_back({hub, h0, h1});                                                                          // hub cap
    }
}

TriMesh make_car_wheels()
{
    TriMesh m;
    for (int sx = -1; sx <= 1; sx += 2)
        for (int sy = -1; sy <= 1; sy += 2)
            tyre(m, sx * (WHEEL_X - 0.25), sx * (WHEEL_X + 0.25), sy * WHEEL_Y, 8);
    // The steering wheel in front of the driver: an octagonal ring.
    Vec3 centre = v3(0.8, -0.55, 1.85);
    for (int i = 0; i < 8; i++) {
        double a0 = det::TWO_PI * i / 8, a1 = det::TWO_PI * (i + 1) / 8;
        Vec3 p = centre + v3(0.38 * det::cos(a0), 0.15 * det::sin(a0), 0.3 * det::sin(a0));
        Vec3 q = centre + v3(0.38 * det::cos(a1), 0.15 * det::sin(a1), 0.3 * det::sin(a1));
        m.push_back({p, q, q + v3(0, 0, -0.07)});
        m.push_back({p, q + v3(0, 0, -0.07), p + v3(0, 0, -0.07)});
    }
    return m;
}

TriMesh make_car_lamps()
{
    // Two headlamps on the wings, each a short drum with a domed glass.
    TriMesh m;
    for (int sx = -1; sx <= 1; sx += 2) {
        Vec3 back = v3(sx * 1.45, -3.8, 1.3), front = v3(sx * 1.45, -4.2, 1.3);
        cylinder(m, back, front, 0.3, 6);
        sphere(m, front, 0.27, 0.12, 0.27, 6, 2);
    }
    return m;
}

TriMesh make_car_blokes()
{
    // Two people on the front seat: the driver (x +0.8) with hands on the
    // wheel and a flat cap, the passenger (x -0.8) waving. Shoulders, round
    // heads with a nose, arms of upper arm and forearm.
    TriMesh m;
    for (int who = 0; who < 2; who++) {
        double x = who == 0 ? 0.8 : -0.8;
        std::vector<std::vector<Vec3>> torso;
        for (double z : {1.0, 1.7, 2.15})   // a torso widening to the shoulders
            torso.push_back({v3(x - (z > 2 ? 0.48 : 0.38), 0.1, z), v3(x - (z > 2 ? 0.48 : 0.38), 0.5, z),
                             v3(x + (z > 2 ? 0.48 : 0.38), 0.5, z), v3(x + (z > 2 ? 0.48 : 0.38), 0.1, z)});
        loft(m, torso, false);
        bar(m, v3(x, 0.3, 2.12), v3(x, 0.3, 2.35), 0.11);                       // neck
        sphere(m, v3(x, 0.3, 2.62), 0.3, 0.32, 0.36, 7, 4);                    // head
        box(m, v3(x - 0.05, 0.0, 2.55), v3(x + 0.05, 0.05, 2.68));              // nose
        auto arm = [&](Vec3 shoulder, Vec3 elbow, Vec3 hand) {
            bar(m, shoulder, elbow, 0.1);
            bar(m, elbow, hand, 0.085);
        };
        if (who == 0) {
            arm(v3(x - 0.45, 0.3, 2.05), v3(x - 0.35, -0.05, 1.7), v3(x - 0.2, -0.5, 1.85));
            arm(v3(x + 0.45, 0.3, 2.05), v3(x + 0.45, -0.05, 1.7), v3(x + 0.35, -0.5, 1.85));
            cylinder(m, v3(x, 0.3, 2.88), v3(x, 0.3, 3.0), 0.36, 6);   // cap
            box(m, v3(x - 0.28, -0.22, 2.88), v3(x + 0.28, 0.05, 2.93));  // its peak
        } else {
            arm(v3(x - 0.45, 0.3, 2.1), v3(x - 0.8, 0.15, 2.6), v3(x - 0.62, 0.0, 3.3));   // waving
            arm(v3(x + 0.45, 0.3, 2.05), v3(x + 0.85, 0.3, 1.75), v3(x + 1.0, 0.2, 1.62));  // resting on the door
            sphere(m, v3(x, 0.36, 2.78), 0.32, 0.3, 0.2, 6, 3);                             // hair
        }
    }
    return m;
}

// ---- greeting plates -----------------------------------------------------------------
// The lettering is the group's name in outline, 0.08 units in front of a
// plain chamfered panel. The scene pulses the plate from depth 9500 to 7125
// and lays each frame over the last, so for a few frames the plate is seen
// at two sizes at once: the near copy is the far one grown by 4/3 about the
// centre of the view (400, 300). The plate is therefore modelled high above
// its origin (which the scene holds just above the middle of the view), its
// letters more than three times their own height above it: growing
// about a point far below them lifts the near copy's letters clear of the
// far copy's, and a panel only a narrow margin larger than the letters puts
// both panels' edges in the gap between the two words, where they cross no
// letter. The title picture stands below the plate, out of its way.

const double LETTERS_LIFT = 3.0;       // the letters' ink from this height above the object's origin
const double LETTERS_HEIGHT = 0.93;    // ... to this much above it
const double PANEL_MARGIN_Y = 0.12;    // narrower than the gap between the two sizes' letters
const double PANEL_MARGIN_X = 0.3;
const double PANEL_CHAMFER = 0.1;      // below the margin, so a corner never clips a letter
const double LETTERS_MAX_WIDTH = 5.4;

struct Lettering {
    std::vector<std::vector<Point>> contours;   // y up, centred on x 0, ink from LETTERS_LIFT up
    double half_width, half_height;
};

Lettering lettering(const GreetedGroup &group)
{
    TextStyle style = group.style;
    style.size = 100.0;
    std::vector<std::vector<Point>> contours;
    double pen = 0.0, minx = 1e9, maxx = -1e9, miny = 1e9, maxy = -1e9;
    for (const char *ch = group.name; *ch; ch++) {
        double advance;
        for (auto &c : text_glyph_contours(*ch, style, 3, advance)) {
            std::vector<Point> flipped;
            for (auto &p : c)
                flipped.push_back({p.x + pen, -p.y});
            flipped = simplify_contour(flipped, 0.5);
            for (auto &p : flipped) {
                minx = std::min(minx, p.x);
                maxx = std::max(maxx, p.x);
                miny = std::min(miny, p.y);
                maxy = std::max(maxy, p.y);
            }
            contours.push_back(flipped);
        }
        pen += advance;
    }
    double k = std::min(LETTERS_MAX_WIDTH / (maxx - minx), LETTERS_HEIGHT / (maxy - miny));
    double cx = (minx + maxx) / 2.0, cy = (miny + maxy) / 2.0;
    double centre_y = LETTERS_LIFT + (maxy - miny) * k / 2.0;
    for (auto &c : contours)
        for (auto &p : c)
            p = {(p.x - cx) * k, (p.y - cy) * k + centre_y};
    return {contours, (maxx - minx) * k / 2.0, (maxy - miny) * k / 2.0};
}

std::vector<Point> chamfered(double hw, double hh, double c, double lift)
{
    return {{-hw + c, lift - hh}, {hw - c, lift - hh}, {hw, lift - hh + c}, {hw, lift + hh - c},
            {hw - c, lift + hh},  {-hw + c, lift + hh}, {-hw, lift + hh - c}, {-hw, lift - hh + c}};
}

TriMesh plate_text(const GreetedGroup &group)
{
    TriMesh m;
    Lettering l = lettering(group);
    flat(m, l.contours, [](Point p) { return v3(p.x, p.y, -0.08); });   // close: the letters keep to the panel in perspective
    return m;
}

TriMesh plate_frame(const GreetedGroup &group)
{
    TriMesh m;
    Lettering l = lettering(group);
    double hw = l.half_width + PANEL_MARGIN_X, hh = l.half_height + PANEL_MARGIN_Y;
    flat(m, {chamfered(hw, hh, PANEL_CHAMFER, LETTERS_LIFT + l.half_height)},
         [](Point p) { return v3(p.x, p.y, 0.0); });
    return m;
}

// The car is modelled in round numbers and shown a fifth larger.
TriMesh scaled(TriMesh m, double k)
{
    for (Tri &t : m)
        for (Vec3 *p : {&t.a, &t.b, &t.c})
            *p = *p * k;
    return m;
}
const double CAR_SCALE = 1.2;
TriMesh make_karosseri() { return scaled(make_car_body(), CAR_SCALE); }
TriMesh make_hjul() { return scaled(make_car_wheels(), CAR_SCALE); }
TriMesh make_lykter() { return scaled(make_car_lamps(), CAR_SCALE); }
TriMesh make_blokes() { return scaled(make_car_blokes(), CAR_SCALE); }

TriMesh make_5tide() { return plate_text(GREETED_GROUPS[0]); }
TriMesh make_5tide_frame() { return plate_frame(GREETED_GROUPS[0]); }
TriMesh make_v3xm00r() { return plate_text(GREETED_GROUPS[1]); }
TriMesh make_v3xm00r_frame() { return plate_frame(GREETED_GROUPS[1]); }
TriMesh make_palundo() { return plate_text(GREETED_GROUPS[2]); }
TriMesh make_palundo_frame() { return plate_frame(GREETED_GROUPS[2]); }
TriMesh make_kb() { return plate_text(GREETED_GROUPS[3]); }
TriMesh make_kb_frame() { return plate_frame(GREETED_GROUPS[3]); }

// Three decimals at most, no trailing zeros, no "-0": short tokens.
std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    if (s == "-0" || s.empty())
        s = "0";
    return s;
}

}  // namespace

const std::vector<MeshMaker> &mesh_makers()
{
    static const std::vector<MeshMaker> list = {
        {"grass.raw", make_grass},
        {"cube.raw", make_cube},
        {"karosseri.raw", make_karosseri},
        {"hjul.raw", make_hjul},
        {"lykter.raw", make_lykter},
        {"blokes.raw", make_blokes},
        {"5tide.raw", make_5tide},
        {"5tide_frame.raw", make_5tide_frame},
        {"v3xm00r.raw", make_v3xm00r},
        {"v3xm00r_frame.raw", make_v3xm00r_frame},
        {"palundo.raw", make_palundo},
        {"palundo_frame.raw", make_palundo_frame},
        {"kb.raw", make_kb},
        {"kb_frame.raw", make_kb_frame},
    };
    return list;
}

std::string mesh_text(const TriMesh &mesh)
{
    std::string out;
    for (const Tri &t : mesh) {
        for (const Vec3 &p : {t.a, t.b, t.c})
            for (double v : {p.x, p.y, p.z}) {
                out += number(v);
                out += ' ';
            }
        out += '\n';   // after the space: the reader's tokens still end where they should
    }
    return out;
}

void write_mesh(const std::string &path, const TriMesh &mesh)
{
    std::string text = mesh_text(mesh);
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    size_t written = std::fwrite(text.data(), 1, text.size(), f);
    if (std::fclose(f) != 0 || written != text.size())
        throw std::runtime_error("cannot write " + path);
}
