// meshes.h — the show's 14 triangle meshes in the ".raw" text format.
//
// One file unit is 1000 model units in the show. Every number is written
// with at most three decimals and followed by one space, so that the show's
// reader, which ends a token only at a space, takes every number.
#pragma once
#include <string>
#include <vector>

struct Vec3 {
    double x, y, z;
};
struct Tri {
    Vec3 a, b, c;
};
typedef std::vector<Tri> TriMesh;

struct MeshMaker {
    const char *file;   // name under data/
    TriMesh (*make)();
};

const std::vector<MeshMaker> &mesh_makers();
// The file text: nine numbers per triangle, each followed by one space.
std::string mesh_text(const TriMesh &mesh);
// Throws std::runtime_error when the file cannot be written.
void write_mesh(const std::string &path, const TriMesh &mesh);
