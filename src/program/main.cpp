// main.cpp — the program: start-up, the eight scenes, shutdown.
//
// Start-up problems are reported on standard output and end the program with
// status 255 (-1); a show that played, or was stopped by the viewer, ends with 0.
#include "scenes.h"
#include "shell.h"

int main(int argc, char *argv[])
{
    uint32_t video_flags = video_mode_flags(argc, argv);
    install_interrupt_handler(handle_sigint);
    if (!show_start_up(video_flags, START_WITH_MUSIC))
        return -1;
    bool statistics = stats_begin();

    show_start_music();
    begin_running(show);
    play_show();
    end_running();

    if (statistics)
        stats_report();
    show_shut_down();
    return scene_thread_failed() ? -1 : 0;
}
