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
