// precalc.h — the scene records and tables made before the first scene, and
// freed after the last (precalc.cpp).
#pragma once

// Creates ShowState and every scene record, fills the tables and prepares
// the bitmaps. Needs BitmapTable loaded and tables_init() done. Throws
// std::bad_alloc when memory for a record, table or surface cannot be had;
// what was made by then is left for teardown_scenes.
void precalculate();
// Frees what precalculate() made, in the order the show's shutdown uses, and
// clears the pointers. Records that were never made are skipped.
void teardown_scenes();

// Draws text on `screen` with the scroll-text font of scene 2. No scene
// calls it (scene 2 scrolls its text its own way): it stays as the show's
// one way to write a line with its font; draw_string_with is its rule.
void draw_string(const char *text, int x, int y);
