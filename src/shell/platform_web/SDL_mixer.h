// SDL_mixer.h for the browser build: the music calls the show makes, with
// SDL_mixer 1.2's names and rules. The page's audio decodes and plays the
// Ogg file (platform_web.js); the fade-out steps down once per 2048-sample
// mixer buffer over ceil(ms / 46) buffers, as SDL_mixer 1.2's does.
#pragma once
#include "SDL.h"

#define MIX_MAX_VOLUME 128
#define AUDIO_S16LSB 0x8010
#define MIX_DEFAULT_FORMAT AUDIO_S16LSB

typedef struct _Mix_Music Mix_Music;
enum Mix_Fading { MIX_NO_FADING, MIX_FADING_OUT, MIX_FADING_IN };

int Mix_OpenAudio(int frequency, Uint16 format, int channels, int chunksize);
void Mix_CloseAudio();
// NULL when the file cannot be opened (the page's audio decodes it itself).
Mix_Music *Mix_LoadMUS(const char *file);
void Mix_FreeMusic(Mix_Music *music);
// loops 1: once through. Starts the page's audio.
int Mix_PlayMusic(Mix_Music *music, int loops);
// 0..128; returns the volume before (-1 asks without setting).
int Mix_VolumeMusic(int volume);
// Fades out over ms, then halts; a fade under way is not restarted.
int Mix_FadeOutMusic(int ms);
Mix_Fading Mix_FadingMusic();
// Stops the music at once (a fade under way too).
int Mix_HaltMusic();
void Mix_PauseMusic();
void Mix_ResumeMusic();
int Mix_PlayingMusic();
#define Mix_GetError SDL_GetError
