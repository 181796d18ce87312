// scene7.cpp — greetings: four groups' plates in front of turning grass,
// over a warped interference pattern, with their titles shaking on top.
//
// The background is scene 2's ring warp drawn into the backbuffer: green
// reads the radial map forward, red and blue write it through the reverse
// mapping, and blue also cycles with time. 140 blades of grass turn as in
// scene 4. For each group in turn a plate (a frame and a lettering mesh)
// tilts and pulses towards the viewer every 25 position units while its
// title shakes over the frame. The clock puts each group's pair into the
// world when its window opens and takes the previous pair out; the render
// thread walks the world meanwhile, so both go through the world's guard,
// and the scene frees the pairs only after both threads are joined.
#include <cmath>
#include <initializer_list>
#include <cstdlib>
#include "grass.h"
#include "ring_warp.h"
#include "scenes.h"
#include "trail.h"
#include "shell.h"

namespace {

constexpr int BLADE_COUNT = 140;
constexpr Uint32 TEXT_COLOUR = 0xff335588;
constexpr Uint32 FRAME_COLOUR = 0xffeef3ff;
constexpr Uint32 SKY_COLOUR = 0xff99ccee;
constexpr float PLATE_REST_DEPTH = 9500.0f;
constexpr float PLATE_PULSE_DEPTH = 7000.0f;   // the pulse pushes towards it, then eases back
constexpr double OUT_OF_VIEW_X = -20000.0;

// One greeted group, in the order of appearance. Plate and title are shown
// while from < position < to.
struct Group {
    const char *text_mesh;
    const char *frame_mesh;
    int title_bitmap;
    int title_x;
    float from, to;
    double plate_x;
    double roll;   // subtracted from the tilt for the plate's rz
};

const Group groups[4] = {
    {"data/5tide.raw", "data/5tide_frame.raw", BITMAP_TITLE_5TIDE, 250, 25.0f, 200.0f, 150.0, 0.0},
    {"data/v3xm00r.raw", "data/v3xm00r_frame.raw", BITMAP_TITLE_VEXMOOR, 265, 225.0f, 400.0f, 800.0, 0.1},
    {"data/palundo.raw", "data/palundo_frame.raw", BITMAP_TITLE_PALUNDO, 325, 424.0f, 600.0f, 700.0, 0.2},
    {"data/kb.raw", "data/kb_frame.raw", BITMAP_TITLE_KB, 278, 624.0f, 800.0f, 300.0, 0.3},
};

bool in_window(const Group &group, float p) { return p > group.from && p < group.to; }

SceneObject *new_plate_part(const char *mesh_path, Uint32 colour)
{
    SceneObject *part = object_new();
    part->mesh = mesh_load(mesh_path, colour);
    part->x.store(500.0, relaxed);
    part->y.store(-500.0, relaxed);
    part->z.store(8000.0, relaxed);
    part->rx.store(2.8797932f, relaxed);    // 165 degrees
    part->ry.store(0.34906584f, relaxed);   // 20 degrees
    part->rz.store(-0.2617994f, relaxed);   // -15 degrees
    return part;
}

bool world_holds(World *world, const SceneObject *object)
{
    for (PtrList *node = world->objects; node; node = node->next)
        if (node->item == object)
            return true;
    return false;
}

}  // namespace

// ---- Preparation (main thread, before the threads) ---------------------------

void scene7_prepare()
{
    scene7->active.store(1, relaxed);
    scene7->position.store(0.0f, relaxed);
    World *world = world_new();
    scene7->world = world;

    // As in scene 4, with 140 blades on a higher row.
    plant_grass(world, scene7->grass, BLADE_COUNT, 12000);

    // The scene owns the pairs; none is in the world until its window opens.
    for (int g = 0; g < 4; g++) {
        scene7->greetings[g].frame = new_plate_part(groups[g].frame_mesh, FRAME_COLOUR);
        scene7->greetings[g].text = new_plate_part(groups[g].text_mesh, TEXT_COLOUR);
    }
}

// ---- Clock --------------------------------------------------------------------

void scene7_clock_begin(Scene7Clock &c)
{
    grass_base_angles(scene7->grass, c.base, BLADE_COUNT);
    for (bool &flag : c.in_world)
        flag = false;
    c.plate_depth = PLATE_REST_DEPTH;
}

namespace {

// Every 25 units the plate jumps to 7125 for the first six, then glides
// back, closing 5 % of the distance to its rest depth per pass.
void pulse_plate(Scene7Clock &c, float p)
{
    if ((int)p % 25 > 5) {
        if (c.plate_depth != PLATE_REST_DEPTH)
            c.plate_depth = (float)(c.plate_depth + (c.plate_depth - PLATE_REST_DEPTH) * (-0.05));
    } else {
        c.plate_depth = (float)(PLATE_PULSE_DEPTH + (PLATE_PULSE_DEPTH - PLATE_REST_DEPTH) * (-0.05));
    }
}

// When a group's window opens its pair enters the world and every pair put
// in before leaves it (normally just the previous group's; a clock that
// jumps over a window must not leave an older pair behind). The pairs that
// leave are not freed here: the render thread may still be drawing them.
void enter_world(Scene7Clock &c, int g)
{
    World *world = scene7->world;
    for (int other = 0; other < 4; other++) {
        if (other == g || !c.in_world[other])
            continue;
        world_remove_object(scene7->greetings[other].text, world);
        world_remove_object(scene7->greetings[other].frame, world);
    }
    world_add_object(scene7->greetings[g].text, world);
    world_add_object(scene7->greetings[g].frame, world);
    c.in_world[g] = true;
}

void move_plates(Scene7Clock &c, float p, float tilt)
{
    for (int g = 0; g < 4; g++) {
        const GreetingPair &pair = scene7->greetings[g];
        if (!in_window(groups[g], p)) {
            pair.text->x.store(OUT_OF_VIEW_X, relaxed);
            pair.frame->x.store(OUT_OF_VIEW_X, relaxed);
            continue;
        }
        if (!c.in_world[g])
            enter_world(c, g);
        float roll = (float)(tilt - groups[g].roll);
        for (SceneObject *part : {pair.text, pair.frame}) {
            part->x.store(groups[g].plate_x, relaxed);
            part->ry.store(tilt, relaxed);
            part->rz.store(roll, relaxed);
            part->z.store(c.plate_depth, relaxed);
        }
    }
}

}  // namespace

void scene7_clock_pass(Scene7Clock &c, Sint32 elapsed_ms)
{
    scene7->position.store((float)scene_position_at(7, elapsed_ms), relaxed);
    float p = scene7->position.load(relaxed);
    float tilt = (float)(p * 0.0004);
    float spin = (float)(p * 0.00001);
    float phase = (float)(p * 0.3);
    turn_grass(scene7->grass, c.base, BLADE_COUNT, spin, phase);
    pulse_plate(c, p);
    move_plates(c, p, tilt);
    if (elapsed_ms > scene_facts(7).duration_ms || show->running.load(relaxed) == 0)
        scene7->active.store(0, relaxed);
}

// ---- Frames -------------------------------------------------------------------

// The warp never writes alpha, nor the last source rows and columns it
// cannot reach: the one fill gives them their colour for the whole scene.
void scene7_render_begin(Scene7Render &r)
{
    SDL_FillRect(backbuffer, nullptr, SKY_COLOUR);
    r.previous_row = 0;
    r.previous_column = 0;
}

namespace {

// The centre of the warp wanders between about (300, 200) and (500, 400).
// False when there is no warp to draw.
bool begin_background(Scene7Render &r, float p)
{
    float three_p = 3.0f * p;
    double a = std::pow(std::sin(radians(three_p)), 3.0);
    double b = std::pow(std::cos(radians(three_p)), 3.0);
    int cx = (int)((float)(a + b) * 100.0f + 400.0f);
    float two_p = p + p;
    double cs = std::cos(radians(two_p));
    double sn = std::sin(radians(two_p));
    int cy = (int)((float)(cs * cs - sn * sn) * 100.0f + 300.0f);
    float left = (float)(cx / 400.0);
    float right = (float)((799 - cx) / 400.0);
    float up = (float)(cy / 300.0);
    float down = (float)((599 - cy) / 300.0);
    uint8_t hue = (uint8_t)((int)(p * 7.0f) & 0xFF);
    return warp_frame_begin(r.warp, backbuffer, scene2->radial_map, left, right, up, down,
                            WarpChannel{0, 0xFF}, WarpChannel{0, 0xFF}, WarpChannel{hue, 0xFE},
                            r.previous_row, r.previous_column);
}

void share_warp_from_bottom(void *warp)
{
    warp_frame_share(*static_cast<WarpFrame *>(warp), false);
}

// Each frame places the titles showing at p anew, each within a 4 x 4
// square, so they shake; they go over the trail. Gives how many show.
int place_titles(float p, TrailOverlay (&titles)[4])
{
    int count = 0;
    for (const Group &group : groups) {
        if (!in_window(group, p))
            continue;
        long jitter_y = random();
        long jitter_x = random();
        titles[count++] = TrailOverlay{BitmapTable[group.title_bitmap], group.title_x + (int)(jitter_x % 4),
                                       80 + (int)(jitter_y % 4), 80};
    }
    return count;
}

}  // namespace

void scene7_draw_frame(Scene7Render &r)
{
    // The world's objects are posed on the fill's worker while the warp is
    // drawn; then the worker takes the warp's rows from the bottom up. The
    // fill waits for the worker's job, so the warp is done before it begins.
    bool warp = begin_background(r, scene7->position.load(relaxed));
    world_render_start_with(scene7->world, warp ? share_warp_from_bottom : nullptr, &r.warp);
    if (warp)
        warp_frame_share(r.warp, true);
    TrailOverlay titles[4];
    int title_count = place_titles(scene7->position.load(relaxed), titles);
    lock_surface(screen);
    world_render_trail_under(scene7->world, 110, titles, title_count);
    unlock_surface(screen);
    present_frame(scene_facts(7).presenter_id);
}

// ---- Clean-up (main thread, after both threads are joined) --------------------

// Frees the world with the grass and whatever pair is in it at this moment,
// then every greeting object that is not in it: each exactly once, whenever
// the show stopped.
void scene7_finish()
{
    World *world = scene7->world;
    if (!world)
        return;
    bool in_world[4][2];
    for (int g = 0; g < 4; g++) {
        in_world[g][0] = world_holds(world, scene7->greetings[g].text);
        in_world[g][1] = world_holds(world, scene7->greetings[g].frame);
    }
    world_free(world);
    scene7->world = nullptr;
    for (int g = 0; g < 4; g++) {
        GreetingPair &pair = scene7->greetings[g];
        if (!in_world[g][0])
            object_free(pair.text);
        if (!in_world[g][1])
            object_free(pair.frame);
        pair.text = pair.frame = nullptr;
    }
    for (SceneObject *&blade : scene7->grass)
        blade = nullptr;
}

// ---- Threads and driver ---------------------------------------------------------

void scene7_clock() { run_scene_clock(7); }
void scene7_render() { run_scene_render(7); }
void scene7_run() { run_scene(7); }
