// The tools' command lines: numbers only as plain decimals, and the capture
// tool's containers by their documented names, in any case of letters.
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>
#include "frames.h"
#include "options.h"

namespace {

// Splits on '|' so that spaces inside an argument stay visible in the table.
std::vector<std::string> split(const std::string &line)
{
    std::vector<std::string> arguments{"tool"};
    std::stringstream stream(line);
    for (std::string argument; std::getline(stream, argument, '|');)
        arguments.push_back(argument);
    return arguments;
}

std::vector<char *> argv_of(std::vector<std::string> &arguments)
{
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(&argument[0]);
    return argv;
}

} // namespace

TEST(ToolArguments, NumbersArePlainDecimalsAndContainersTheDocumentedOnes)
{
    const struct {
        const char *frames;    // a frame tool command line, or null
        const char *capture;   // a capture tool command line, or null
        bool taken;
    } cases[] = {
        {"--at|5", "--from|5|a.mp4", true},
        {"--at|3.5", "--from|3.5|a.mkv", true},
        {"--at|.5", "--to|.5|a.webm", true},
        {"--scene|4.0", "--scene|4.0|a.mp4", true},
        {"--at|0x10", "--from|0x10|a.mp4", false},
        {"--at| 5", "--from| 5|a.mp4", false},
        {"--at|5 ", "--from|5 |a.mp4", false},
        {"--at|1e1", "--fps|6e1|a.mp4", false},
        {"--at|+5", "--height|+600|a.mp4", false},
        {"--at|-1", "--to|-1|a.mp4", false},
        {"--at|inf", "--from|nan|a.mp4", false},
        {"--at|.", "--from|1.2.3|a.mp4", false},
        {"--scene|4.5", "--fps|60.5|a.mp4", false},
        {nullptr, "a.MP4", true},
        {nullptr, "a.Mkv", true},
        {nullptr, "a.WEBM", true},
        {nullptr, "a.avi", false},
        {nullptr, "a.mov", false},
        {nullptr, "a", false},
        {nullptr, "a.mp4/b", false},
        {nullptr, "--lossless|a.WebM", false},
        {nullptr, "--lossless|a.MKV", true},
    };
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        if (c.frames) {
            std::vector<std::string> arguments = split(c.frames);
            std::vector<char *> argv = argv_of(arguments);
            FramesOptions options;
            bool help = false;
            EXPECT_EQ(parse_options(int(argv.size()), argv.data(), options, help), c.taken) << c.frames;
        }
        if (c.capture) {
            std::vector<std::string> arguments = split(c.capture);
            std::vector<char *> argv = argv_of(arguments);
            CaptureOptions options;
            EXPECT_EQ(parse_options(int(argv.size()), argv.data(), options) == 0, c.taken) << c.capture;
        }
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.empty(), c.taken) << said;   // every refusal says why
    }
}
