// icon.h — the desktop icon: the lantern from the end of the show's title.
#pragma once
#include "canvas.h"

// A 128 x 128 picture: the lantern lit on a night-blue tile.
Image make_icon();
