// player.h — plays the show's scenes deterministically, without threads and
// without a display: the common ground of the frame tool and the capture tool.
//
// Start-up is the program's own (SDL with the dummy video driver unless the
// caller chose one, the 800 x 600 x 32 video mode, the byte tables, the
// backbuffer, the 33 bitmaps from "./data", the precalculation), so every
// record, table and prepared bitmap is what the show would have. A scene is
// played on virtual time, driven by the caller one tick at a time: one clock
// pass per clock period (5 ms; 25 ms in scene 5), then the frames that are
// due at the chosen cadence, until the scene's clock clears `active`, as in
// the show. present_frame and its flip run for real on the dummy display, so
// after a step `screen` holds the picture last presented.
#pragma once
#include <vector>

// The show's own start-up (show_start_up), on the dummy video driver unless
// the caller chose another, silent; prints what failed and returns false.
bool frames_start_up();
// Frees everything start-up made and ends SDL.
void frames_shut_down();

struct SceneSteps;   // every scene's step records (scenes.h)

// One scene being played. Made by player_open, freed by player_close.
struct Player {
    int scene = 0;
    int period_ms = 0;             // one tick of virtual time
    int cadence_ms = 0;            // a frame is drawn every cadence_ms
    long long tick = 0;            // the next tick to run
    long long next_frame_ms = 0;   // scene time the next frame is due
    int tick_frames = 0;           // frames presented by the last step
    bool over = false;             // the scene's clock has ended it: no more steps
    long long music_fade_ms = -1;  // scene time of the first frame that asked the
                                   // music to fade out; -1 while none has
    SceneSteps *records = nullptr;
};

// Prepares scene 1..8 and begins its clock and its render. cadence_ms 0
// means the scene's own render period.
void player_open(Player &player, int scene, int cadence_ms);
// Scene time of the next tick, milliseconds.
long long player_now_ms(const Player &player);
// Runs the next tick: its clock pass, then every frame due by then. Returns
// false (and sets `over`, drawing nothing) once the clock has ended the
// scene. frame_costs_ms, when not null, gets each frame's wall-clock cost.
bool player_step(Player &player, std::vector<double> *frame_costs_ms);
// Leaves out the frames due before scene time ms, except the last of them:
// a player that has fallen behind its clock draws one frame, not all it missed.
void player_skip_frames_before(Player &player, long long ms);
// Finishes the scene (frees what it prepared) and the step records.
void player_close(Player &player);
