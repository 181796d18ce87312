#include "support.h"
#include "shell.h"
#include <cstdlib>

namespace {
// Before any test starts SDL: with no display and no driver named, SDL 1.2
// falls back to a text-art driver, and these machines have no sound device.
const bool drivers_chosen = [] {
    if (!std::getenv("SDL_VIDEODRIVER"))
        SDL_putenv(const_cast<char *>("SDL_VIDEODRIVER=dummy"));
    if (!std::getenv("SDL_AUDIODRIVER"))
        SDL_putenv(const_cast<char *>("SDL_AUDIODRIVER=dummy"));
    return true;
}();
} // namespace

SDL_Surface *test_surface(int width, int height, uint32_t colour)
{
    SDL_Surface *s = argb_surface_new(width, height);
    SDL_FillRect(s, nullptr, colour);
    return s;
}

uint32_t pixel_at(SDL_Surface *s, int x, int y)
{
    return static_cast<uint32_t *>(s->pixels)[y * (s->pitch / 4) + x];
}

void ensure_tables()
{
    if (!ScaleTable)
        tables_init();
    if (!DepthShadeTable)
        depth_shade_table_init();
}

void new_bare_records()
{
    show = new ShowState();
    scene1 = new Scene1State();
    scene2 = new Scene2State();
    scene3 = new Scene3State();
    scene4 = new Scene4State();
    scene5 = new Scene5State();
    scene6 = new Scene6State();
    scene7 = new Scene7State();
    scene8 = new Scene8State();
}

void open_test_screen()
{
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    screen = SDL_SetVideoMode(800, 600, 32, 0);
    ASSERT_NE(screen, nullptr);
    ensure_tables();
}

void ShowEnvironment::SetUp()
{
    ASSERT_TRUE(show_start_up(0, START_SILENT)) << "needs the show's data folder in the working directory";
    show->running.store(1, relaxed);
}

void ShowEnvironment::TearDown()
{
    show_shut_down();
}

BitmapSwap::BitmapSwap(int i, SDL_Surface *replacement) : index(i), original(BitmapTable[i])
{
    BitmapTable[i] = replacement;
}

BitmapSwap::~BitmapSwap()
{
    SDL_FreeSurface(BitmapTable[index]);
    BitmapTable[index] = original;
}
