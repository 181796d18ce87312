// main.cpp — the program: start-up, the eight scenes, shutdown.
//
// Everything is loaded and prepared before the music starts, so the
// preparation shows as a pause before the first frame and never shifts the
// picture against the music. Start-up problems are reported on standard
// output and end the program with status 255 (-1); a show that played, or
// was stopped by the viewer, ends with 0.
#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdio>
#include <cstring>
#include <new>
#include "scenes.h"
#include "shell.h"

namespace {

const char MUSIC_FILE[] = "data/lanternfay.ogg";
const char CAPTION[] = "Quillfrost Lanternfay";

// Releases what start-up has made so far, in shutdown's order, and gives
// the failure status.
int abandon_start_up(Mix_Music *music)
{
    teardown_scenes();   // skips the records not made yet
    free_bitmaps();
    SDL_FreeSurface(backbuffer);
    backbuffer = nullptr;
    tables_free();
    Mix_FreeMusic(music);
    SDL_Quit();
    return -1;
}

void play_scenes()
{
    static void (*const drivers[])() = {scene1_run, scene2_run, scene3_run, scene4_run,
                                        scene5_run, scene6_run, scene7_run, scene8_run};
    // Also before scene 1: an interrupt during start-up means no scene at all.
    for (auto driver : drivers) {
        if (show->running.load(relaxed) != 1)
            break;
        driver();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    uint32_t video_flags = video_mode_flags(argc, argv);
    install_interrupt_handler(handle_sigint);

    char directory[256];
    if (!working_directory(directory, sizeof directory)) {
        std::printf("This program was run incorrectly.\nExiting (exciting?).\n");
        return -1;
    }
    if (std::strlen(directory) > longest_working_directory()) {
        std::printf("The working directory is too long for the data paths (more than %zu characters).\n",
                    longest_working_directory());
        return -1;
    }

    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) == -1) {
        std::printf("%s\n", SDL_GetError());
        return -1;
    }

    // The audio device opens only after the preparation, so that the music
    // starts with the first scene; loading the file needs no device.
    Mix_Music *music = Mix_LoadMUS(MUSIC_FILE);
    if (!music)
        std::fprintf(stderr, "No music (%s: %s); the show plays silent.\n", MUSIC_FILE, SDL_GetError());

    screen = SDL_SetVideoMode(800, 600, 32, video_flags);
    if (!screen) {
        std::printf("%s\n", SDL_GetError());
        return abandon_start_up(music);
    }
    SDL_ShowCursor(0);
    SDL_WM_SetCaption(CAPTION, CAPTION);

    try {
        tables_init();
        backbuffer = argb_surface_new(800, 600);
        if (!backbuffer)
            throw std::bad_alloc();
        if (!load_bitmaps(directory))
            return abandon_start_up(music);
        precalculate();
    } catch (const std::bad_alloc &) {
        std::printf("Not enough memory to prepare the show.\n");
        return abandon_start_up(music);
    }

    // Without a sound device the show still plays, silent, and says so once.
    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) == -1 && music) {
        const char *why = Mix_GetError();
        std::fprintf(stderr, "No sound device%s%s%s; the show plays silent.\n", *why ? " (" : "", why, *why ? ")" : "");
    }
    Mix_VolumeMusic(MIX_MAX_VOLUME);
    Mix_PlayMusic(music, 1);   // once through; a missing file just stays silent
    set_show_music(music);

    transition_id = 0;
    begin_running(show);
    bool out_of_memory = false;
    try {
        play_scenes();   // a scene's preparation runs here, before its threads
    } catch (const std::bad_alloc &) {
        std::printf("Not enough memory to go on with the show; it ends here.\n");
        out_of_memory = true;
    }
    end_running();

    teardown_scenes();
    free_bitmaps();
    SDL_FreeSurface(backbuffer);
    backbuffer = nullptr;
    tables_free();
    Mix_PauseMusic();
    Mix_FreeMusic(music);
    SDL_Quit();   // also closes the audio device
    return scene_thread_failed() || out_of_memory ? -1 : 0;
}
