// triangulate.h — splits plane polygons with holes into triangles (ear
// clipping, holes bridged to their outer contour first).
#pragma once
#include "canvas.h"
#include <array>
#include <vector>

typedef std::array<Point, 3> Triangle2;

// Signed area: positive for counter-clockwise contours (x right, y up).
double contour_area(const std::vector<Point> &contour);
// Drops points closer than tolerance to the line through their neighbours.
std::vector<Point> simplify_contour(const std::vector<Point> &contour, double tolerance);
// Triangulates a set of contours (x right, y up). Contours nested inside an
// odd number of others are holes; orientation does not matter. Throws
// std::runtime_error when the triangles' area misses the polygon's.
std::vector<Triangle2> triangulate(const std::vector<std::vector<Point>> &contours);
