// greetings.h — the four groups that scene 7 greets, in the order shown.
//
// Each group's name appears twice, on its title picture and on its 3D plate;
// both are made from this one entry, so the viewer reads one spelling in one
// letter style. The styles are all heavy: when the plate pulses it is seen
// at two sizes at once, and the far one is small enough that thin strokes
// would fade in the trails.
#pragma once
#include "text.h"

struct GreetedGroup {
    const char *name;
    TextStyle style;   // size is set by whoever draws it
};

inline const GreetedGroup GREETED_GROUPS[4] = {
    {"5tide", {Face::sans_bold, 100.0, 0.0, 1.0, 0.0}},
    {"vexmoor", {Face::serif_bold, 100.0, 0.0, 1.0, 0.0}},
    {"palundo", {Face::mono_bold, 100.0, 0.0, 1.0, 0.0}},
    {"kb", {Face::sans_bold, 100.0, 0.2, 1.0, 0.0}},
};
