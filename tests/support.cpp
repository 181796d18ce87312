#include "support.h"
#include "raster.h"

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
