// globals.cpp — the program's globals, alive from start-up to shutdown.
// (`screen` belongs to the raster library, which draws on it.)
#include "shell.h"

SDL_Surface *backbuffer = nullptr;
SDL_Surface *BitmapTable[128] = {};
int8_t transition_id = 0;
SDL_Event event;

ShowState *show = nullptr;
Scene1State *scene1 = nullptr;
Scene2State *scene2 = nullptr;
Scene3State *scene3 = nullptr;
Scene4State *scene4 = nullptr;
Scene5State *scene5 = nullptr;
Scene6State *scene6 = nullptr;
Scene7State *scene7 = nullptr;
Scene8State *scene8 = nullptr;

std::atomic<uint8_t> &scene_active(int scene)
{
    switch (scene) {
    case 1: return scene1->active;
    case 2: return scene2->active;
    case 3: return scene3->active;
    case 4: return scene4->active;
    case 5: return scene5->active;
    case 6: return scene6->active;
    case 7: return scene7->active;
    default: return scene8->active;
    }
}

float scene_position(int scene)
{
    switch (scene) {
    case 1: return scene1->position.load(relaxed);
    case 2: return scene2->position.load(relaxed);
    case 3: return scene3->position.load(relaxed);
    case 4: return scene4->position.load(relaxed);
    case 5: return scene5->position.load(relaxed);
    case 6: return scene6->position.load(relaxed);
    case 7: return scene7->position.load(relaxed);
    default: return scene8->position.load(relaxed);
    }
}
