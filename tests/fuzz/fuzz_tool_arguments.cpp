// Feeds arbitrary command lines (arguments split at NUL bytes) to both
// tools' readers, the frame tool's and the capture tool's: whatever they
// take must hold only what they promise. Every number taken was written as a
// plain decimal, each value lies in its range, and every moment lies within
// the show, so that nothing later converts an out-of-range double.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "frames.h"
#include "options.h"
#include "shell.h"

namespace {

bool plain_decimal(const char *text)
{
    int digits = 0, points = 0;
    for (; *text; ++text) {
        if (*text >= '0' && *text <= '9')
            digits++;
        else if (*text != '.' || ++points > 1)
            return false;
    }
    return digits > 0;
}

bool among(const char *text, const std::vector<const char *> &names)
{
    for (const char *name : names)
        if (!std::strcmp(text, name))
            return true;
    return false;
}

// Walks the command line as a tool reads it (an option that takes a value
// takes the next argument, whatever it is): every value of an option that
// takes a number is a plain decimal.
void check_numbers_plain(const std::vector<char *> &argv, const std::vector<const char *> &valued,
                         const std::vector<const char *> &numeric)
{
    for (size_t i = 1; i + 1 < argv.size(); i++) {
        if (!among(argv[i], valued))
            continue;
        const bool number = among(argv[i], numeric);
        if (number && !plain_decimal(argv[++i]))
            std::abort();
        if (!number)
            ++i;
    }
}

void check_frames(std::vector<char *> &argv)
{
    FramesOptions options;
    bool help = false;
    if (!parse_options(int(argv.size()), argv.data(), options, help) || help)
        return;
    check_numbers_plain(argv, {"--at", "--scene", "--cadence", "--out"}, {"--at", "--scene", "--cadence"});
    if (options.scene < 0 || options.scene > SCENE_COUNT || options.cadence_ms < 0 || options.cadence_ms > 10000)
        std::abort();
    for (double seconds : options.at_seconds)
        if (!(seconds >= 0.0) || !std::isfinite(seconds))
            std::abort();
    std::vector<Moment> moments;
    if (!make_moments(options, moments))
        return;
    for (const Moment &moment : moments)
        if (moment.scene < 1 || moment.scene > SCENE_COUNT || moment.scene_ms < 0 ||
            moment.scene_ms > scene_facts(moment.scene).duration_ms)
            std::abort();
}

void check_capture(std::vector<char *> &argv)
{
    CaptureOptions options;
    if (parse_options(int(argv.size()), argv.data(), options) != 0)
        return;
    const std::vector<const char *> numeric{"--scene", "--from", "--to", "--fps", "--height"};
    check_numbers_plain(argv, numeric, numeric);
    if (!names_documented_container(options.path, options.lossless) || options.fps < 1 || options.fps > 240 ||
        options.height < 120 || options.height > 4320 || options.height % 2)
        std::abort();
    long long from_ms = 0, to_ms = 0;
    if (span_of(options, from_ms, to_ms) && (from_ms < 0 || from_ms >= to_ms || to_ms > scene_start_ms(SCENE_COUNT + 1)))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // "tool\0arg\0arg...": every argument its own NUL-terminated string.
    std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> arguments{"tool"};
    for (size_t begin = 0; begin <= text.size();) {
        size_t end = text.find('\0', begin);
        if (end == std::string::npos)
            end = text.size();
        arguments.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(&argument[0]);
    check_frames(argv);
    check_capture(argv);
    return 0;
}
