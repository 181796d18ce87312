// tables.cpp — the byte tables through which all per-channel arithmetic goes.
//
// Built once on the main thread before any scene thread exists and read-only
// afterwards, so the render threads may read them without any guard.
#include "blit_internal.h"
#include <cmath>
#include <cstddef>

uint8_t *ScaleTable = nullptr;
uint8_t *CubeTable = nullptr;
uint8_t *DepthShadeTable = nullptr;

namespace {

constexpr size_t FACTOR_TABLE_BYTES = 512 * 256;
constexpr int DEPTH_ROWS = 51200;
constexpr int DEPTH_FADE_END = 30000;

// The low byte of a small signed value, as the blends subtract it modulo 256.
uint8_t low_byte(int value)
{
    return static_cast<uint8_t>(static_cast<unsigned>(value) & 0xFFu);
}

void fill_scale_table(uint8_t *table)
{
    for (int row = 0; row < 512; ++row) {
        // The factor is rounded to a double before the product, so a few
        // exactly integral products land one lower in magnitude; the picture
        // depends on those entries, so the order of operations stays.
        double factor = (row - 256) / 255.0;
        uint8_t *entry = table + row * 256;
        for (int value = 0; value < 256; ++value)
            entry[value] = low_byte(static_cast<int>(std::trunc(static_cast<double>(value) * factor)));
    }
}

void fill_cube_table(uint8_t *table)
{
    for (int row = 0; row < 512; ++row) {
        double base = (row - 256) / 255.0;
        double cube = std::pow(base, 3.0);   // the same for the whole row
        uint8_t *entry = table + row * 256;
        for (int value = 0; value < 256; ++value)
            entry[value] = low_byte(static_cast<int>(std::trunc(cube * value)));
    }
}

} // namespace

raster_detail::ScaleExceptions raster_detail::scale_exceptions = {false, 0, {}, 0, {}};

uint8_t raster_detail::listed_weight_alphas[256][256] = {};
uint8_t raster_detail::listed_weight_nibbles[256][2][16] = {};

void raster_detail::find_scale_exceptions()
{
    ScaleExceptions found = {true, 0, {}, 0, {}};
    bool listed_magnitude[256] = {}, listed_weight[256] = {};
    for (int k = -255; k <= 255; ++k) {
        int magnitude = k < 0 ? -k : k;
        for (int e = 0; e < 256; ++e) {
            int quotient = divide_by_255(e * magnitude);
            int arithmetic = k < 0 ? -quotient : quotient;
            if (ScaleTable[(k + 256) * 256 + e] == low_byte(arithmetic))
                continue;
            // The vector paths only look for differences at exact multiples of 255.
            if ((e * magnitude) % 255 != 0)
                found.arithmetic_usable = false;
            if (!listed_magnitude[magnitude]) {
                listed_magnitude[magnitude] = true;
                if (found.count == 8)
                    found.arithmetic_usable = false;
                else
                    found.magnitude[found.count++] = magnitude;
            }
            if (!listed_weight[e]) {
                listed_weight[e] = true;
                if (found.weight_count == 16)
                    found.arithmetic_usable = false;
                else
                    found.weight[found.weight_count++] = e;
            }
        }
    }
    scale_exceptions = found;
    for (int opacity = 0; opacity < 256; ++opacity)
        for (int alpha = 0; alpha < 256; ++alpha) {
            int weight = ScaleTable[(alpha + 256) * 256 + opacity];
            bool listed = false;
            for (int i = 0; i < found.weight_count; ++i)
                listed |= found.weight[i] == weight;
            listed_weight_alphas[opacity][alpha] = listed ? 1 : 0;
            uint8_t nibble_bit = static_cast<uint8_t>(1u << ((alpha >> 4) & 7));
            uint8_t &nibbles = listed_weight_nibbles[opacity][alpha >> 7][alpha & 15];
            nibbles = listed ? nibbles | nibble_bit : nibbles & ~nibble_bit;
        }
}

// A failed allocation throws std::bad_alloc: the show cannot run without the
// tables, and stopping at start-up with a message beats a crash mid-scene.
// Calling again rebuilds the tables instead of leaking the old ones.
void tables_init()
{
    delete[] ScaleTable;
    delete[] CubeTable;
    ScaleTable = new uint8_t[FACTOR_TABLE_BYTES];
    CubeTable = new uint8_t[FACTOR_TABLE_BYTES];
    fill_scale_table(ScaleTable);
    fill_cube_table(CubeTable);
    raster_detail::find_scale_exceptions();
    raster_detail::check_cube_arithmetic();
}

void depth_shade_table_init()
{
    delete[] DepthShadeTable;
    DepthShadeTable = new uint8_t[static_cast<size_t>(DEPTH_ROWS) * 256];
    for (int depth = 0; depth < DEPTH_ROWS; ++depth) {
        int clamped = depth < DEPTH_FADE_END ? depth : DEPTH_FADE_END;
        // Single precision throughout: the renderer's shading is defined by it.
        float gain = static_cast<float>(DEPTH_FADE_END - clamped) / 30000.0f;
        uint8_t *entry = DepthShadeTable + static_cast<size_t>(depth) * 256;
        for (int value = 0; value < 256; ++value)
            entry[value] = static_cast<uint8_t>(static_cast<int>(static_cast<float>(value) * gain));
    }
}

void tables_free()
{
    delete[] ScaleTable;
    delete[] CubeTable;
    delete[] DepthShadeTable;
    ScaleTable = nullptr;
    CubeTable = nullptr;
    DepthShadeTable = nullptr;
    raster_detail::scale_exceptions = {false, 0, {}, 0, {}};
    raster_detail::cube_arithmetic = {};
}
