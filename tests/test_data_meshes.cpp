// The generated meshes in data/: each loads whole with the show's reader,
// and each sits where its scene expects it once put in the scene's pose.
#include "render3d.h"
#include "support.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<Triangle> load(const char *name)
{
    std::vector<Triangle> out;
    Mesh *m = mesh_load((std::string("data/") + name).c_str(), 0xffffffff);
    if (!m)
        return out;
    for (PtrList *n = m; n; n = n->next)
        if (n->item)
            out.push_back(*static_cast<Triangle *>(n->item));
    SceneObject *owner = object_new();   // frees the triangles the way they were made
    owner->mesh = m;
    object_free(owner);
    return out;
}

// Screen position and depth of a model point under an object's pose.
struct Placed {
    double x, y, z;
    double world_y;   // before projection: height in view space (+y down)
};
Placed place(double x, double y, double z, double ox, double oy, double oz, float rx, float ry, float rz)
{
    rotate_point(x, y, z, rx, ry, rz);
    x += ox;
    y += oy;
    z += oz;
    double depth = z, world_y = y;
    project_point(x, y, z);
    return {x, y, depth, world_y};
}

struct Extent {
    double min_x = 1e30, max_x = -1e30, min_y = 1e30, max_y = -1e30, min_z = 1e30, max_z = -1e30, mean_z = 0;
    double lowest = -1e30;   // the greatest view-space y: the point nearest the ground
};
Extent extent(const char *name, double ox, double oy, double oz, float rx, float ry, float rz)
{
    Extent e;
    int n = 0;
    for (const Triangle &t : load(name))
        for (int v = 0; v < 3; v++) {
            const double *p = &t.x0 + v * 3;
            Placed q = place(p[0], p[1], p[2], ox, oy, oz, rx, ry, rz);
            e.min_x = std::min(e.min_x, q.x);
            e.max_x = std::max(e.max_x, q.x);
            e.min_y = std::min(e.min_y, q.y);
            e.max_y = std::max(e.max_y, q.y);
            e.min_z = std::min(e.min_z, q.z);
            e.max_z = std::max(e.max_z, q.z);
            e.mean_z += q.z;
            e.lowest = std::max(e.lowest, q.world_y);
            n++;
        }
    if (n)
        e.mean_z /= n;
    return e;
}

const char *const ALL_MESHES[] = {"grass.raw", "cube.raw", "karosseri.raw", "hjul.raw", "lykter.raw", "blokes.raw",
                                  "5tide.raw", "5tide_frame.raw", "v3xm00r.raw", "v3xm00r_frame.raw", "palundo.raw",
                                  "palundo_frame.raw", "kb.raw", "kb_frame.raw"};

}  // namespace

TEST(DataMeshes, EveryNumberReachesTheReader)
{
    for (const char *name : ALL_MESHES) {
        std::string text = read_file(std::string("data/") + name);
        ASSERT_FALSE(text.empty()) << name;
        // Count the numbers as a careful reader would, then check that the
        // show's reader (a number ends only at a space) builds every triangle.
        std::istringstream in(text);
        std::string token;
        size_t numbers = 0, longest = 0;
        while (in >> token) {
            numbers++;
            longest = std::max(longest, token.size());
        }
        EXPECT_EQ(numbers % 9, 0u) << name;
        EXPECT_LE(longest, 10u) << name << ": tokens must fit the reader's 16-byte buffer";
        for (size_t i = 0; i < text.size(); i++) {
            if (text[i] == '\n') {
                ASSERT_TRUE(i > 0 && text[i - 1] == ' ') << name << ": a line break ends a number at byte " << i;
            }
        }
        EXPECT_EQ(load(name).size(), numbers / 9) << name;
    }
}

TEST(DataMeshes, TriangleCountsSuitTheRenderer)
{
    size_t grass = load("grass.raw").size();
    EXPECT_GE(grass, 10u);
    EXPECT_LE(grass, 60u) << "140 copies of the blade are drawn every frame";
    EXPECT_GE(load("cube.raw").size(), 12u);
    size_t car = 0;
    for (const char *part : {"karosseri.raw", "hjul.raw", "lykter.raw", "blokes.raw"}) {
        size_t n = load(part).size();
        EXPECT_GE(n, 12u) << part;
        car += n;
    }
    EXPECT_LE(car, 900u) << "the renderer orders triangles in quadratic time; scene 5 draws these every frame";
    for (const char *plate : {"5tide.raw", "v3xm00r.raw", "palundo.raw", "kb.raw"}) {
        size_t n = load(plate).size();
        EXPECT_GE(n, 20u) << plate;
        EXPECT_LE(n, 400u) << plate;
    }
}

TEST(DataMeshes, GrassRisesFromBelowTheFrameToItsMiddle)
{
    // Scene 4's blades: rx -90 radians, y 16000 to 19000, depth 10000, any rz.
    for (float rz : {0.0f, 90.0f, 200.0f, 333.0f})
        for (double y : {16000.0, 18999.0}) {
            Extent e = extent("grass.raw", 0, y, 10000, -90.0f, 0.0f, rz);
            EXPECT_GT(e.max_y, 600) << "the root is below the frame";
            EXPECT_LT(e.min_y, 420) << "the tip reaches well up into the frame";
            EXPECT_GT(e.min_y, 150) << "but not over the picture's upper half";
            EXPECT_GT(e.max_x - e.min_x, 3.0) << "the blade shows edge-on too, rz " << rz;
        }
}

TEST(DataMeshes, CubesTumbleIntoTheFrameAtTheirPoses)
{
    // Scene 4: the cubes at (-9000, 6000, 11000) and (9000, 6000, 11000), both
    // turned by t about x and z, t from 0 to 30 radians over the scene. A cube
    // counts as seen when all of it lies inside the frame above the leaves
    // (which cover from row 530 down); most of the time one must be seen, and
    // each must come fully into view for a fair part of the scene.
    const double ORIGIN_X[2] = {-9000.0, 9000.0};
    const int POSES = 300;
    int whole[2] = {0, 0}, either = 0;
    for (int i = 0; i <= POSES; i++) {
        float t = (float)(30.0 * i / POSES);
        bool seen[2];
        for (int k = 0; k < 2; k++) {
            Extent e = extent("cube.raw", ORIGIN_X[k], 6000, 11000, t, 0.0f, t);
            ASSERT_GT(e.min_z, 2000.0) << "never at the viewer";
            seen[k] = e.min_x >= 0 && e.max_x < 800 && e.min_y >= 0 && e.max_y < 530;
            whole[k] += seen[k];
            double size = std::max(e.max_x - e.min_x, e.max_y - e.min_y);
            if (seen[k]) {
                EXPECT_GT(size, 70.0) << "large enough to read as a cube, t " << t;
            }
        }
        either += seen[0] || seen[1];
    }
    EXPECT_GT(either, POSES * 55 / 100) << "a cube is in view most of the time";
    for (int k = 0; k < 2; k++)
        EXPECT_GT(whole[k], POSES * 3 / 10) << (k ? "right" : "left") << " cube";
}

TEST(DataMeshes, CarStandsOnTheRoadFacingTheViewer)
{
    // Scene 5: rx 3pi/2, heading pi, at (0, 2000, 20000): the road surface is
    // 2000 below the eye (the summer road picture is drawn so), and the
    // wheels must touch it.
    const float rx = 4.712389f, ry = 3.1415927f;
    Extent wheels = extent("hjul.raw", 0, 2000, 20000, rx, ry, 0);
    EXPECT_NEAR(wheels.lowest, 2000.0, 20.0);
    Extent body = extent("karosseri.raw", 0, 2000, 20000, rx, ry, 0);
    EXPECT_LT(body.min_y, wheels.max_y - 30) << "the body stands above the road";
    EXPECT_NEAR((body.min_x + body.max_x) / 2, 400.0, 3.0);
    EXPECT_GT(body.max_x - body.min_x, 80.0);
    EXPECT_LT(body.max_x - body.min_x, 250.0);
    Extent lamps = extent("lykter.raw", 0, 2000, 20000, rx, ry, 0);
    EXPECT_LT(lamps.mean_z, body.mean_z) << "the lamps are at the front, towards the viewer";
    Extent people = extent("blokes.raw", 0, 2000, 20000, rx, ry, 0);
    EXPECT_LT(people.min_y, body.min_y) << "heads show above the body";
}

TEST(DataMeshes, LetteringStandsInFrontOfItsPlate)
{
    // Scene 7: rx 165 degrees, near the middle of the view, depth 7000 to 9500.
    const char *pairs[4][2] = {{"5tide.raw", "5tide_frame.raw"}, {"v3xm00r.raw", "v3xm00r_frame.raw"},
                               {"palundo.raw", "palundo_frame.raw"}, {"kb.raw", "kb_frame.raw"}};
    for (auto &pair : pairs) {
        Extent text = extent(pair[0], 150, -500, 8000, 2.8797932f, 0.0f, 0.0f);
        Extent frame = extent(pair[1], 150, -500, 8000, 2.8797932f, 0.0f, 0.0f);
        EXPECT_LT(text.mean_z, frame.mean_z) << pair[0];
        EXPECT_GT(text.min_x, frame.min_x) << pair[0];
        EXPECT_LT(text.max_x, frame.max_x) << pair[0];
        EXPECT_GT(text.min_y, frame.min_y) << pair[0];
        EXPECT_LT(text.max_y, frame.max_y) << pair[0];
        // The plate fits the frame at the closest point of its pulse (depth 7125).
        Extent near = extent(pair[1], 150, -500, 7125, 2.8797932f, 0.0f, 0.0f);
        EXPECT_GT(near.min_x, 0.0) << pair[1];
        EXPECT_LT(near.max_x, 800.0) << pair[1];
    }
    // Read upright: the first letter of "5tide" is on the left.
    std::vector<Triangle> letters = load("5tide.raw");
    ASSERT_FALSE(letters.empty());
    double leftmost = 1e30, x_of_leftmost_screen = 0;
    for (const Triangle &t : letters) {
        Placed p = place(t.x0, t.y0, t.z0, 0, -500, 8000, 2.8797932f, 0, 0);
        if (t.x0 < leftmost) {
            leftmost = t.x0;
            x_of_leftmost_screen = p.x;
        }
    }
    EXPECT_LT(x_of_leftmost_screen, 400.0);
}

namespace {

// The rows a mesh covers in each screen column under a pose: where its
// triangles' edges cross the column's middle, topmost and lowest.
struct Span {
    double top = 1e30, bottom = -1e30;
    bool any() const { return top <= bottom; }
};
std::vector<Span> column_spans(const char *name, double ox, double oy, double oz, float rx, float ry, float rz)
{
    std::vector<Span> columns(800);
    for (const Triangle &t : load(name)) {
        Placed q[3];
        for (int v = 0; v < 3; v++) {
            const double *p = &t.x0 + v * 3;
            q[v] = place(p[0], p[1], p[2], ox, oy, oz, rx, ry, rz);
        }
        for (int e = 0; e < 3; e++) {
            Placed a = q[e], b = q[(e + 1) % 3];
            if (a.x > b.x)
                std::swap(a, b);
            for (int c = std::max(0, (int)std::ceil(a.x - 0.5)); c < 800 && c + 0.5 <= b.x; c++) {
                double y = b.x > a.x ? a.y + (b.y - a.y) * (c + 0.5 - a.x) / (b.x - a.x) : a.y;
                columns[c].top = std::min(columns[c].top, y);
                columns[c].bottom = std::max(columns[c].bottom, y);
            }
        }
    }
    return columns;
}

}  // namespace

TEST(DataMeshes, GreetingPlatesReadAtBothSizesOfTheirPulse)
{
    // Scene 7: each plate at its group's x, height -500, pulsing between depth
    // 7125 and 9500, turned by ry = tilt and rz = tilt - 0.1 k over its window
    // (tilt = 0.0004 p). On the frame of a pulse the trails show both sizes at
    // once: the near letters must stand clear above the far ones, and both
    // panels' edges must fall in the gap between them, crossing no letter.
    // The title picture (laid at row 80, shaking by up to 3 rows) stands
    // under the plate at rest; the grass blades (y 12000 to 15000, depth
    // 10000) lift their tips to the rows measured here when they lean away.
    struct Group {
        const char *text, *frame, *title;
        double x;
        double p0, p1;   // the window in positions
    };
    const Group groups[4] = {{"5tide.raw", "5tide_frame.raw", "5tide_title.bmp", 150, 25, 200},
                             {"v3xm00r.raw", "v3xm00r_frame.raw", "vexmoor_title.bmp", 800, 225, 400},
                             {"palundo.raw", "palundo_frame.raw", "palundo_title.bmp", 700, 424, 600},
                             {"kb.raw", "kb_frame.raw", "kb_title.bmp", 300, 624, 800}};
    double grass_tips = 1e30;
    for (float rz : {0.0f, 90.0f, 200.0f, 333.0f})
        grass_tips = std::min(grass_tips, extent("grass.raw", 0, 13500, 10000, -90.0f, 0.0f, rz).min_y);
    for (int k = 0; k < 4; k++) {
        const Group &g = groups[k];
        SDL_Surface *title = SDL_LoadBMP((std::string("data/") + g.title).c_str());
        ASSERT_NE(title, nullptr) << g.title;
        ASSERT_EQ(title->format->BytesPerPixel, 3);
        int ink_top = title->h;
        for (int y = 0; y < title->h && ink_top == title->h; y++)
            for (int x = 0; x < title->w; x++)
                if (static_cast<const uint8_t *>(title->pixels)[y * title->pitch + x * 3 + 1] > 8) {
                    ink_top = y;
                    break;
                }
        SDL_FreeSurface(title);
        for (double p : {g.p0, g.p1}) {
            float tilt = (float)(p * 0.0004), rz = (float)(tilt - 0.1 * k);
            Extent near_frame = extent(g.frame, g.x, -500, 7125, 2.8797932f, tilt, rz);
            Extent far_text = extent(g.text, g.x, -500, 9500, 2.8797932f, tilt, rz);
            Extent far_frame = extent(g.frame, g.x, -500, 9500, 2.8797932f, tilt, rz);
            std::vector<Span> nt = column_spans(g.text, g.x, -500, 7125, 2.8797932f, tilt, rz),
                              nf = column_spans(g.frame, g.x, -500, 7125, 2.8797932f, tilt, rz),
                              ft = column_spans(g.text, g.x, -500, 9500, 2.8797932f, tilt, rz),
                              ff = column_spans(g.frame, g.x, -500, 9500, 2.8797932f, tilt, rz);
            int crossed = 0, columns = 0;
            for (int c = 0; c < 800; c++) {
                if (!nt[c].any() || !ft[c].any())
                    continue;
                columns++;
                bool apart = nt[c].bottom + 2 < ft[c].top;
                bool near_edge_between = nf[c].bottom > nt[c].bottom && nf[c].bottom < ft[c].top;
                bool far_edge_between = ff[c].top > nt[c].bottom && ff[c].top < ft[c].top;
                crossed += !(apart && near_edge_between && far_edge_between);
            }
            EXPECT_GT(columns, 50) << g.text;
            EXPECT_EQ(crossed, 0) << g.text << ", p " << p << ": columns where one size's letters or panel edge meet the other's letters";
            EXPECT_GE(near_frame.min_y, 0.0) << g.frame << ", p " << p;
            EXPECT_GT(far_text.max_y - far_text.min_y, 30.0) << g.text << ": letters that read at rest";
            EXPECT_LT(far_frame.max_y, 80 + ink_top) << g.title << " under the plate at rest";
            EXPECT_LT(far_frame.max_y, grass_tips) << g.frame << " above the grass";
            for (const Extent &e : {near_frame, far_frame}) {
                EXPECT_GT(e.min_x, 0.0) << g.frame;
                EXPECT_LT(e.max_x, 800.0) << g.frame;
            }
        }
    }
}

namespace {

// The share of ink that a title picture and its plate's lettering have in
// common, once the lettering (seen front-on) is fitted to the title's ink
// box: 1 for the same word in the same letters, far less for another spelling.
double title_and_lettering_overlap(const char *title_file, const char *letters_file)
{
    SDL_Surface *title = SDL_LoadBMP((std::string("data/") + title_file).c_str());
    if (!title || title->format->BytesPerPixel != 3)
        return 0.0;
    auto ink = [&](int x, int y) {   // a 24-bit BMP row holds blue, green, red
        return static_cast<const uint8_t *>(title->pixels)[y * title->pitch + x * 3 + 1] >= 128;
    };
    int x0 = title->w, x1 = -1, y0 = title->h, y1 = -1;
    for (int y = 0; y < title->h; y++)
        for (int x = 0; x < title->w; x++)
            if (ink(x, y)) {
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    std::vector<Triangle> letters = load(letters_file);
    double lx0 = 1e30, lx1 = -1e30, ly0 = 1e30, ly1 = -1e30;
    for (const Triangle &t : letters)
        for (int v = 0; v < 3; v++) {
            const double *p = &t.x0 + v * 3;
            lx0 = std::min(lx0, p[0]), lx1 = std::max(lx1, p[0]), ly0 = std::min(ly0, p[1]), ly1 = std::max(ly1, p[1]);
        }
    auto covered = [&](double mx, double my) {
        for (const Triangle &t : letters) {
            double d1 = (mx - t.x1) * (t.y0 - t.y1) - (t.x0 - t.x1) * (my - t.y1);
            double d2 = (mx - t.x2) * (t.y1 - t.y2) - (t.x1 - t.x2) * (my - t.y2);
            double d3 = (mx - t.x0) * (t.y2 - t.y0) - (t.x2 - t.x0) * (my - t.y0);
            if ((d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0))
                return true;
        }
        return false;
    };
    int both = 0, either = 0;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            double mx = lx0 + (x + 0.5 - x0) / (x1 + 1 - x0) * (lx1 - lx0);
            double my = ly1 - (y + 0.5 - y0) / (y1 + 1 - y0) * (ly1 - ly0);   // the model's y is up
            bool a = ink(x, y), b = covered(mx, my);
            both += a && b;
            either += a || b;
        }
    SDL_FreeSurface(title);
    return either ? (double)both / either : 0.0;
}

}  // namespace

TEST(DataMeshes, EachGroupIsSpeltOneWayOnItsTitleAndItsPlate)
{
    const char *pairs[4][2] = {{"5tide_title.bmp", "5tide.raw"}, {"vexmoor_title.bmp", "v3xm00r.raw"},
                               {"palundo_title.bmp", "palundo.raw"}, {"kb_title.bmp", "kb.raw"}};
    for (auto &pair : pairs)
        EXPECT_GT(title_and_lettering_overlap(pair[0], pair[1]), 0.75) << pair[0] << " and " << pair[1];
    // Another group's lettering does not pass for this one's.
    EXPECT_LT(title_and_lettering_overlap("5tide_title.bmp", "palundo.raw"), 0.5);
}

TEST(DataMeshes, CubesStandOutInValueFromThePictureBehindThem)
{
    // Scene 4 draws the cubes in 0x88ff00, darkened by depth to
    // (30000 - z) / 30000, over "data/BirdGnome.bmp". Wherever a cube shows,
    // wholly or in part, most of the picture behind it must be clearly
    // lighter or darker than the cube itself, or the cube sinks into it.
    SDL_Surface *raw = SDL_LoadBMP("data/BirdGnome.bmp");
    ASSERT_NE(raw, nullptr);
    ASSERT_EQ(raw->format->BytesPerPixel, 3);
    auto luma = [](double r, double g, double b) { return 0.299 * r + 0.587 * g + 0.114 * b; };
    auto picture_luma = [&](int x, int y) {
        const uint8_t *p = static_cast<const uint8_t *>(raw->pixels) + y * raw->pitch + x * 3;   // blue, green, red
        return luma(p[2], p[1], p[0]);
    };
    const double ORIGIN_X[2] = {-9000.0, 9000.0};
    const int POSES = 300;
    double worst = 1.0;
    for (int i = 0; i <= POSES; i++) {
        float t = (float)(30.0 * i / POSES);
        for (int k = 0; k < 2; k++) {
            Extent e = extent("cube.raw", ORIGIN_X[k], 6000, 11000, t, 0.0f, t);
            // The part of the cube's box that shows: a cube half off the edge
            // must read against what lies behind its visible half too.
            int x0 = std::max(0, (int)e.min_x), x1 = std::min(799, (int)e.max_x);
            int y0 = std::max(0, (int)e.min_y), y1 = std::min(529, (int)e.max_y);
            if ((x1 - x0 + 1) * (y1 - y0 + 1) < 400 || x1 < x0 || y1 < y0)
                continue;
            double shade = (30000.0 - std::min(e.mean_z, 30000.0)) / 30000.0;
            double cube = luma(0x88 * shade, 0xff * shade, 0);
            int clear = 0, all = 0;
            for (int y = y0; y <= y1; y++)
                for (int x = x0; x <= x1; x++, all++)
                    clear += std::fabs(picture_luma(x, y) - cube) >= 30.0;
            worst = std::min(worst, (double)clear / all);

        }
    }
    SDL_FreeSurface(raw);
    EXPECT_GT(worst, 0.8) << "share of the picture behind a cube that stands apart from it in value";
}
