// The music folder and the playlist built from it. scan_music_folder runs once,
// from audio_init, before the device runs; afterwards the list is only read.
// current_index moves only through step_index inside the engine's
// change_track, under audio_lock or before the device runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Full paths of the playable files of "music", in byte order of their names.
extern std::vector<std::string> playlist;
extern std::uint64_t current_index;

// Replaces playlist with the regular files of "music" that is_music_file
// accepts, sorted by plain byte comparison; prints dlib's message and leaves it
// empty when the folder is missing or unreadable.
void scan_music_folder();
// True for names ending in ".ogg" or ".oga" in any letter case.
bool is_music_file(const std::string& name);
// The entry offset steps away from current, wrapping both ways over the
// playlist's length; 0 when the playlist is empty.
std::uint64_t step_index(std::uint64_t current, int offset);
