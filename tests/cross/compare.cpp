// compare.cpp — lanternfay-compare: compares two folders of frames (.png)
// and table dumps (.u8 .i32 .f32 .argb, from lanternfay-tables) file by file
// and says, for every file of the first folder, whether the second one's is
// bit-identical, and if not, how many entries differ, by how much and where.
//
//   lanternfay-compare DIR_A DIR_B
//
// One line per file: "NAME identical", "NAME differs: ..." or "NAME missing".
// Exit status 0 when every file could be compared (whatever the differences),
// 1 when a file is missing or unreadable, 2 on wrong usage.
#include <png.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool read_file(const fs::path &path, std::vector<uint8_t> &bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// A picture as 32-bit words 0x00RRGGBB (alpha ignored), row by row.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

bool read_png(const fs::path &path, Picture &picture)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_BGRA;   // little-endian words 0xAARRGGBB
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr))
        return false;
    for (uint32_t &p : picture.pixels)
        p &= 0x00FFFFFFu;
    return true;
}

bool read_argb(const std::vector<uint8_t> &bytes, Picture &picture)
{
    if (bytes.size() < 16)
        return bytes.empty();   // an empty file stands for a missing surface
    int32_t header[4];
    std::memcpy(header, bytes.data(), sizeof header);
    picture.width = header[0];
    picture.height = header[1];
    size_t count = (bytes.size() - 16) / 4;
    if (picture.width < 0 || picture.height < 0 || count != size_t(picture.width) * size_t(picture.height))
        return false;
    picture.pixels.resize(count);
    std::memcpy(picture.pixels.data(), bytes.data() + 16, count * 4);
    return true;
}

int channel_difference(uint32_t a, uint32_t b)
{
    int largest = 0;
    for (int shift = 0; shift < 32; shift += 8)
        largest = std::max(largest, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return largest;
}

void compare_pictures(const std::string &name, const Picture &a, const Picture &b)
{
    if (a.width != b.width || a.height != b.height) {
        std::printf("%s differs: size %dx%d vs %dx%d\n", name.c_str(), a.width, a.height, b.width, b.height);
        return;
    }
    size_t count = 0, first = 0;
    int largest = 0;
    int left = a.width, top = a.height, right = -1, bottom = -1;
    for (size_t i = 0; i < a.pixels.size(); i++) {
        if (a.pixels[i] == b.pixels[i])
            continue;
        if (count++ == 0)
            first = i;
        largest = std::max(largest, channel_difference(a.pixels[i], b.pixels[i]));
        int x = int(i % size_t(a.width)), y = int(i / size_t(a.width));
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
    }
    if (count == 0) {
        std::printf("%s identical\n", name.c_str());
        return;
    }
    std::printf("%s differs: %zu of %zu pixels, largest channel difference %d, within x %d..%d y %d..%d, "
                "first at (%d, %d): %08x vs %08x\n",
                name.c_str(), count, a.pixels.size(), largest, left, right, top, bottom,
                int(first % size_t(a.width)), int(first / size_t(a.width)), a.pixels[first], b.pixels[first]);
}

template <typename T> void compare_values(const std::string &name, const std::vector<uint8_t> &ba,
                                          const std::vector<uint8_t> &bb, const char *format)
{
    if (ba.size() != bb.size()) {
        std::printf("%s differs: %zu vs %zu bytes\n", name.c_str(), ba.size(), bb.size());
        return;
    }
    size_t n = ba.size() / sizeof(T), count = 0;
    double largest = 0.0;
    std::vector<size_t> shown;
    for (size_t i = 0; i < n; i++) {
        if (std::memcmp(ba.data() + i * sizeof(T), bb.data() + i * sizeof(T), sizeof(T)) == 0)
            continue;
        T a, b;
        std::memcpy(&a, ba.data() + i * sizeof(T), sizeof(T));
        std::memcpy(&b, bb.data() + i * sizeof(T), sizeof(T));
        largest = std::max(largest, std::fabs(double(a) - double(b)));
        if (count++ < 8)
            shown.push_back(i);
    }
    if (count == 0) {
        std::printf("%s identical\n", name.c_str());
        return;
    }
    std::printf("%s differs: %zu of %zu entries, largest difference %g; at", name.c_str(), count, n, largest);
    for (size_t i : shown) {
        T a, b;
        std::memcpy(&a, ba.data() + i * sizeof(T), sizeof(T));
        std::memcpy(&b, bb.data() + i * sizeof(T), sizeof(T));
        std::printf(" [%zu] ", i);
        std::printf(format, a);
        std::printf(" vs ");
        std::printf(format, b);
    }
    std::printf("%s\n", count > shown.size() ? " ..." : "");
}

// Compares one file; false when it cannot be compared at all.
bool compare_file(const fs::path &a_path, const fs::path &b_path)
{
    const std::string name = a_path.filename().string(), type = a_path.extension().string();
    if (!fs::exists(b_path)) {
        std::printf("%s missing\n", name.c_str());
        return false;
    }
    if (type == ".png") {
        Picture a, b;
        if (!read_png(a_path, a) || !read_png(b_path, b)) {
            std::printf("%s unreadable\n", name.c_str());
            return false;
        }
        compare_pictures(name, a, b);
        return true;
    }
    std::vector<uint8_t> ba, bb;
    if (!read_file(a_path, ba) || !read_file(b_path, bb)) {
        std::printf("%s unreadable\n", name.c_str());
        return false;
    }
    if (type == ".argb") {
        Picture a, b;
        if (!read_argb(ba, a) || !read_argb(bb, b)) {
            std::printf("%s unreadable\n", name.c_str());
            return false;
        }
        compare_pictures(name, a, b);
    } else if (type == ".u8") {
        compare_values<uint8_t>(name, ba, bb, "%u");
    } else if (type == ".i32") {
        compare_values<int32_t>(name, ba, bb, "%d");
    } else if (type == ".f32") {
        compare_values<float>(name, ba, bb, "%.9g");
    } else if (ba == bb) {
        std::printf("%s identical\n", name.c_str());
    } else {
        std::printf("%s differs\n", name.c_str());
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::printf("usage: lanternfay-compare DIR_A DIR_B\n");
        return 2;
    }
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(argv[1], error))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    if (error || files.empty()) {
        std::printf("nothing to compare in %s\n", argv[1]);
        return 1;
    }
    std::sort(files.begin(), files.end());
    bool ok = true;
    for (const fs::path &file : files)
        ok &= compare_file(file, fs::path(argv[2]) / file.filename());
    return ok ? 0 : 1;
}
