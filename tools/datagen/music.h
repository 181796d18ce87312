// music.h — the show's music: composed, synthesised and Vorbis-encoded here.
#pragma once
#include <string>

constexpr const char *MUSIC_FILE = "lanternfay.ogg";

// Renders the whole piece and writes it as Ogg Vorbis, 44100 Hz stereo.
// Throws std::runtime_error when the file cannot be written.
void write_music(const std::string &path);
