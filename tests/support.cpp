#include "support.h"
#include "raster.h"
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
