// main.cpp — the program: start-up, the eight scenes, shutdown.
//
// Start-up problems are reported on standard output and end the program with
// status 255 (-1); a show that played, or was stopped by the viewer (Escape,
// the window's close button, SIGINT or SIGTERM), ends with 0. A second stop
// signal during the shutdown ends it at once with 130 (SIGINT) or 143 (SIGTERM).
#include <cstdio>
#include <new>
#include "scenes.h"
#include "shell.h"

int main(int argc, char *argv[])
{
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
