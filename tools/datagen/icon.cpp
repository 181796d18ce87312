// icon.cpp — the desktop icon: the small lantern that hangs at the end of the
// word in the title picture, drawn larger and in colour, lit, on a night-blue
// tile. Same shapes as in the title, so the two read as one lantern.
#include "icon.h"

Image make_icon()
{
    const int size = 128;
    const double k = 1.35;                 // the title's lantern is about 90 pixels high
    const double lx = 64, ly = 70;         // the middle of its glass
    auto at = [&](double x, double y) { return Point{lx + x * k, ly + y * k}; };

    // Night sky, lighter where the lantern shines.
    Image img(size, size);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            double dx = x + 0.5 - lx, dy = y + 0.5 - ly;
            double near = clamp01(1.0 - (dx * dx + dy * dy) / (70.0 * 70.0));
            img.set(x, y, mix(rgb8(10, 14, 34), rgb8(46, 40, 70), near * near));
        }

    // The warm light around it, under the metal.
    Mask glow(size, size);
    mask_disc(glow, lx, ly, 34 * k, 0.75);
    light(img, mask_blur(glow, 14), rgb8(255, 170, 70), 0.9);

    // Hook and ring, cap, the bars of the frame and the base, in old brass.
    Mask metal(size, size);
    Point hook_top = at(0, -40);
    mask_ring(metal, hook_top.x, hook_top.y, 6 * k, 1.8 * k);
    mask_capsule(metal, hook_top.x, hook_top.y - 6 * k, hook_top.x, 2, 1.8 * k);
    mask_polygon(metal, std::vector<Point>{at(-14, -30), at(14, -30), at(20, -22), at(-20, -22)});
    mask_polygon(metal, std::vector<Point>{at(-16, 22), at(16, 22), at(11, 30), at(-11, 30)});

    // The glass, lit from within, then the bars over it.
    Mask glass(size, size);
    mask_polygon(glass, std::vector<Point>{at(-18, -22), at(18, -22), at(14, 22), at(-14, 22)});
    paint(img, glass, rgb8(255, 196, 92), 0.85);
    for (double fx : {-16.0, 0.0, 16.0}) {
        Point top = at(fx, -22), bottom = at(fx * 0.8, 22);
        mask_capsule(metal, top.x, top.y, bottom.x, bottom.y, 1.5 * k);
    }
    paint(img, metal, rgb8(120, 78, 34));

    // The flame, brighter than the bar behind it.
    Mask flame(size, size);
    Point centre = at(0, 2);
    mask_ellipse(flame, centre.x, centre.y, 5 * k, 10 * k, 0.0);
    light(img, mask_blur(flame, 3), rgb8(255, 220, 150), 0.8);
    paint(img, flame, rgb8(255, 246, 214));
    return img;
}
