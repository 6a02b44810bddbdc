// Records the disk into one video file: the frames and the sound of the
// program run headless (tools/headless), whole pixels enlarged
// (gfx/enlarge), encoded by the kind of file the name asks for
// (tools/video_writer). Picture and sound come from the same frame step,
// 1470 sample frames with every picture, so they stay in step for any
// length.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>

struct RecordOptions {
    std::filesystem::path disk;  // holds "data" and "music"
    std::string out;             // .mkv, .mp4 or .webm
    double seconds = 0;          // 0: the intro and the playlist to its end
    double from = 0;             // rendered but not recorded before this time
    int scale = 1;               // whole-pixel enlargement, 1 to max_enlargement
    std::string keys;            // scripted keys, as parse_key_script reads them
    bool progress = true;        // the progress bar on stderr
};

struct RecordResult {
    long long frames = 0;
    long long bytes = 0;
};

// Set from a signal handler: the recording stops after the current frame,
// its temporary file is removed and record_disk fails with "interrupted".
extern std::atomic<bool> stop_recording;

// False with a one-line reason; then no file is left at out (an earlier
// file of that name stays as it was).
bool record_disk(const RecordOptions& options, RecordResult& result, std::string& error);
