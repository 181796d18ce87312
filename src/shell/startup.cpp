// startup.cpp — the one start-up and the one shutdown of the show.
//
// The program, the tools, the tests and the benchmarks all come in here, so
// the order that the records depend on (tables before the backbuffer and the
// pictures, pictures before the precalculation) is written once. Everything
// is loaded and prepared before the music starts, so the preparation shows as
// a pause before the first frame and never shifts the picture against the music.
#include "shell.h"
#include <SDL_mixer.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

namespace {

const char MUSIC_FILE[] = "data/lanternfay.ogg";
const char CAPTION[] = "Quillfrost Lanternfay";

Mix_Music *music = nullptr;   // held from start-up to shutdown
// Why there is no sound, when SDL's audio could not start; empty when it did.
char no_audio_why[256] = "";
// True from SDL_Init until someone takes it to end SDL: the shutdown, or a
// second stop signal that cuts a shutdown short (it may come while SDL_Quit
// is already running, and then leaves it alone).
std::atomic<bool> sdl_running{false};

bool check_working_directory(char *directory, size_t size)
{
    if (!working_directory(directory, size)) {
        std::printf("This program was run incorrectly.\nExiting (exciting?).\n");
        return false;
    }
    if (std::strlen(directory) > longest_working_directory()) {
        std::printf("The working directory is too long for the data paths (more than %zu characters).\n",
                    longest_working_directory());
        return false;
    }
    return true;
}

// Audio starts on its own, after the video: some SDL 1.2 builds refuse the
// whole start for an audio driver they do not have, and the show can play
// without sound, never without a picture.
void start_audio()
{
    no_audio_why[0] = '\0';
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == -1)
        std::snprintf(no_audio_why, sizeof no_audio_why, "%s", *SDL_GetError() ? SDL_GetError() : "no audio driver");
}

// The audio device opens only after the preparation, so that the music
// starts with the first scene; loading the file needs no device.
void load_music()
{
    if (const char *what = not_a_plain_file(MUSIC_FILE)) {
        std::fprintf(stderr, "No music (%s: it is %s, not a plain file); the show plays silent.\n", MUSIC_FILE, what);
        return;
    }
    music = Mix_LoadMUS(MUSIC_FILE);
    if (music)
        return;
    // Without a data folder the pictures end start-up next, saying where to
    // run the show from; a notice about the music first would only mislead.
    std::error_code no_folder;
    if (!std::filesystem::is_directory("data", no_folder))
        return;
    // SDL says only "Couldn't open" for a file it cannot open: the system
    // says why (missing, not readable, a loop of links).
    const std::string sdl_error = SDL_GetError();
    errno = 0;
    FILE *file = std::fopen(MUSIC_FILE, "rb");
    const int open_error = errno;
    if (file)
        std::fclose(file);
    std::fprintf(stderr, "No music (%s: %s); the show plays silent.\n", MUSIC_FILE,
                 file || !open_error ? sdl_error.c_str() : std::strerror(open_error));
}

// Full screen opens at the desktop's own size (SDL 1.2 reports it before
// the first video mode is set) and the frame is scaled into it: today's
// displays rarely have an 800 x 600 mode to switch to. Where the desktop is
// smaller, or its size unknown, it asks for 800 x 600 as a window does.
void full_screen_size(int &width, int &height)
{
    const SDL_VideoInfo *info = SDL_GetVideoInfo();
    if (info && info->current_w >= 800 && info->current_h >= 600) {
        width = info->current_w;
        height = info->current_h;
    }
}

bool open_screen(uint32_t video_flags)
{
    int width = 800, height = 600;
    if (video_flags & SDL_FULLSCREEN)
        full_screen_size(width, height);
    SDL_Surface *video_surface = SDL_SetVideoMode(width, height, 32, video_flags);
    if (!video_surface) {
        std::printf("%s\n", SDL_GetError());
        return false;
    }
    if (!display_open(video_surface, scale_filter_from_environment())) {
        std::printf("Not enough memory for the picture.\n");
        return false;
    }
    SDL_ShowCursor(0);
    SDL_WM_SetCaption(CAPTION, CAPTION);
    return true;
}

// Tables, backbuffer, pictures, precalculation; false after a message.
bool prepare_show(const char *directory)
{
    try {
        tables_init();
        backbuffer = argb_surface_new(800, 600);
        if (!backbuffer)
            throw std::bad_alloc();
        if (!load_bitmaps(directory))
            return false;
        precalculate();
    } catch (const std::bad_alloc &) {
        std::printf("Not enough memory to prepare the show.\n");
        return false;
    }
    transition_id = 0;
    return true;
}

} // namespace

bool show_start_up(uint32_t video_flags, StartUpSound sound)
{
    prefer_display_settings();
    char directory[256];
    if (!check_working_directory(directory, sizeof directory))
        return false;
    if (SDL_Init(SDL_INIT_VIDEO) == -1) {
        std::printf("%s\n", SDL_GetError());
        return false;
    }
    sdl_running.store(true, relaxed);
    if (sound == START_WITH_MUSIC) {
        start_audio();
        load_music();
    }
    if (!open_screen(video_flags) || !prepare_show(directory)) {
        show_shut_down();
        return false;
    }
    return true;
}

void show_restore_display_at_once()
{
    if (sdl_running.exchange(false, relaxed))
        SDL_Quit();
}

Mix_Music *show_music()
{
    return music;
}

void show_start_music()
{
    // Without a sound device the show still plays, silent, and says so once.
    const bool audio_started = no_audio_why[0] == '\0';
    if ((!audio_started || Mix_OpenAudio(MIXER_RATE, AUDIO_S16LSB, 2, MIXER_BUFFER_SAMPLES) == -1) && music) {
        const char *why = audio_started ? Mix_GetError() : no_audio_why;
        std::fprintf(stderr, "No sound device%s%s%s; the show plays silent.\n", *why ? " (" : "", why, *why ? ")" : "");
    }
    Mix_VolumeMusic(MIX_MAX_VOLUME);
    Mix_PlayMusic(music, 1);   // once through; a missing file just stays silent
    set_show_music(music);
    timeline_begin(SDL_GetTicks());
}

void show_shut_down()
{
    teardown_scenes();   // skips the records never made
    free_bitmaps();
    SDL_FreeSurface(backbuffer);
    backbuffer = nullptr;
    tables_free();
    if (music) {
        // Freeing a music that is fading out waits until the fade ends, and
        // a paused music never gets there: halted, it is freed at once. The
        // picture is black and the music nearly silent by now, or the viewer
        // asked to stop, so the cut is not heard.
        Mix_PauseMusic();
        Mix_HaltMusic();
        Mix_FreeMusic(music);
        music = nullptr;
    }
    set_show_music(nullptr);
    timeline_end();
    display_close();
    if (sdl_running.exchange(false, relaxed))
        SDL_Quit();   // also closes the audio device
}
