// icon.h — the desktop icon: the lantern from the end of the show's title,
// on a transparent background, as a PNG for Linux desktops and as a Windows
// icon (.ico) for the Windows program's resource.
#pragma once
#include "canvas.h"
#include <string>

// The lantern lit, size x size pixels (drawn for that size, not scaled):
// straight (not premultiplied) colour and its opacity.
struct Icon {
    Image colour;
    Mask alpha;
};
Icon make_icon(int size);

// A PNG of the 128 x 128 icon, with its alpha. Throws std::runtime_error.
void write_icon_png(const std::string &path);
// A Windows icon with the sizes Windows picks from (16, 32, 48 and 256),
// each an uncompressed 32-bit picture with alpha. Throws std::runtime_error.
void write_icon_ico(const std::string &path);
