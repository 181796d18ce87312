// main.cpp — the program: start-up, the eight scenes, shutdown.
//
// Start-up problems are reported on standard output and end the program with
// status 255 (-1); a show that played, or was stopped by the viewer (Escape,
// the window's close button, SIGINT or SIGTERM), ends with 0. A second stop
// signal during the shutdown ends it at once with 130 (SIGINT) or 143 (SIGTERM).
// "--help" and "--version" as the first argument print to standard output
// and end with 0 before SDL starts: they work without a display or data.
#include <cstdio>
#include <cstring>
#include <new>
#include "scenes.h"
#include "shell.h"

namespace {

const char USAGE[] =
    "lanternfay " LANTERNFAY_VERSION ": Quillfrost Lanternfay, a real-time audiovisual show.\n"
    "Eight scenes drawn in software into an 800 x 600 picture, played once\n"
    "against their music: 198 seconds in all.\n"
    "\n"
    "usage: lanternfay [window]\n"
    "       lanternfay --help | --version\n"
    "  (none)      full screen, the picture scaled to the display\n"
    "  window      an 800 x 600 window instead (the Windows build always plays full screen)\n"
    "  --help      this text\n"
    "  --version   the version\n"
    "Escape, closing the window, or Ctrl-C ends the show early.\n"
    "\n"
    "Environment:\n"
    "  LANTERNFAY_STATS=1             at the end, each scene's frame rate and frame costs\n"
    "  LANTERNFAY_SCALE=smooth|sharp  how full screen scales the picture (smooth by default)\n"
    "\n"
    "The show reads its pictures, meshes and music from the folder data/ under\n"
    "the working directory: run it from the folder that holds data/ (the build\n"
    "folder, or the unpacked archive). Installed, the command lanternfay starts\n"
    "it from the folder where its data was installed, wherever you stand.\n";

// True when the first argument asks for the usage or the version, which
// have then been printed.
bool printed_information(int argc, char *argv[])
{
    if (argc < 2)
        return false;
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        std::fputs(USAGE, stdout);
        return true;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::puts("lanternfay " LANTERNFAY_VERSION);
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    join_message_streams();
    if (printed_information(argc, argv))
        return 0;
    uint32_t video_flags = video_mode_flags(argc, argv);
    // Ours before SDL starts: SDL would otherwise turn SIGTERM into a quit
    // event, which nothing reads once the scenes are over.
    install_interrupt_handler(handle_sigint);
    install_termination_handler(handle_sigint);
    if (!show_start_up(video_flags, START_WITH_MUSIC))
        return -1;
    bool statistics = stats_begin();

    show_start_music();
    begin_running(show);
    bool out_of_memory = false;
    try {
        play_show();   // a scene's preparation runs here, before its threads
    } catch (const std::bad_alloc &) {
        std::printf("Not enough memory to go on with the show; it ends here.\n");
        out_of_memory = true;
    }
    end_running();

    if (statistics)
        stats_report();
    show_shut_down();
    return scene_thread_failed() || out_of_memory ? -1 : 0;
}
