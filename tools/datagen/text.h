// text.h — lettering through FreeType with the DejaVu fonts.
//
// FreeType rasterises in fixed point, so its coverage bytes are the same on
// every machine for one font file and FreeType version.
#pragma once
#include "canvas.h"
#include <string>
#include <vector>

enum class Face { sans_bold, sans, serif_bold, serif, mono_bold };

struct TextStyle {
    Face face = Face::sans_bold;
    double size = 64.0;       // pixels per em
    double shear = 0.0;       // slant: x += shear * height above the baseline
    double x_scale = 1.0;     // horizontal stretch (below 1: condensed)
    double tracking = 0.0;    // extra pixels between letters
};

// Ink box of a line of text relative to its pen origin (x 0, baseline y 0; y grows down).
struct TextBox {
    double left, top, right, bottom;
};

// Loads the fonts once; throws std::runtime_error when a font file is missing.
void text_init();
void text_done();

TextBox text_measure(const std::string &text, const TextStyle &style);
// Draws the text with its pen starting at (x, baseline); coverage is combined by max.
void text_draw(Mask &m, const std::string &text, const TextStyle &style, double x, double baseline,
               double value = 1.0);
// The size at which the text's ink is the given width (other style fields kept).
double text_fit_width(const std::string &text, TextStyle style, double width);
// Draws the text centred (by ink) on (cx, cy).
TextBox text_draw_centred(Mask &m, const std::string &text, const TextStyle &style, double cx, double cy,
                          double value = 1.0);

// Outline of one character as closed contours in pixels (y down, pen at the
// origin on the baseline), curves flattened into `steps` segments each.
// Contours keep FreeType's orientation: outer ones and holes wind oppositely.
std::vector<std::vector<Point>> text_glyph_contours(char ch, const TextStyle &style, int steps, double &advance);
