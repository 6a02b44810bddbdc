#include "tools/capture/recorder.h"

#include "app/frame_loop.h"
#include "gfx/enlarge.h"
#include "app/headless.h"
#include "tools/capture/progress_bar.h"
#include "tools/capture/video_writer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include <unistd.h>

std::atomic<bool> stop_recording{false};

namespace {

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};

}  // namespace

bool record_disk(const RecordOptions& options, RecordResult& result, std::string& error) {
    result = RecordResult{};
    // The program runs in a staging folder of its own: anchor the name first.
    const std::string out = std::filesystem::absolute(options.out).string();
    if (!VideoWriter::known_kind(out)) {
        error = options.out + ": unknown kind of video (use " + VideoWriter::kinds() + ")";
        return false;
    }
    // Found out now, not at the rename after the whole recording.
    std::error_code ignored;
    if (std::filesystem::is_directory(out, ignored)) {
        error = options.out + " is a folder; name the video file to write";
        return false;
    }
    if (options.scale < 1 || options.scale > max_enlargement) {
        error = "--scale must be a whole number from 1 to " + std::to_string(max_enlargement);
        return false;
    }
    if (!(options.seconds >= 0) || !(options.from >= 0) || options.seconds > 86400 || options.from > 86400) {
        error = "--seconds and --from take seconds from 0 to a day";
        return false;
    }
    const Uint32 first = frame_at(options.from);
    const Uint32 wanted = frame_at(options.seconds);  // 0: to the end
    if (options.seconds > 0 && wanted == 0) {
        error = "--seconds is shorter than one frame";
        return false;
    }

    HeadlessProgram program;
    if (!program.start({options.disk, "", options.keys}, error)) return false;
    const int width = headless_width * options.scale;
    const int height = headless_height * options.scale;
    VideoWriter writer;
    if (!writer.open(out, width, height, error)) return false;
    std::unique_ptr<SDL_Surface, SurfaceFree> enlarged;
    if (options.scale > 1) {
        enlarged.reset(SDL_CreateRGBSurface(0, width, height, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0));
        if (!enlarged) {
            error = std::string("out of memory: ") + SDL_GetError();
            return false;
        }
    }

    // The whole disk lasts as long as the intro or the playlist, whichever
    // is longer (the music plays from the intro's first frame): a guess
    // that keys can prove wrong.
    const double intro_seconds = double(last_intro_frame + 1) / headless_frames_per_second;
    const double total = wanted ? double(wanted) / headless_frames_per_second
                                : std::max(0.0, std::max(intro_seconds, program.playlist_seconds()) -
                                                    double(first) / headless_frames_per_second);
    std::optional<ProgressBar> bar;
    if (options.progress) bar.emplace(stderr, isatty(STDERR_FILENO) == 1, total, wanted == 0);
    auto failed = [&] {
        if (bar) bar->break_line();
        return false;
    };

    for (;;) {
        if (stop_recording.load()) {
            error = "interrupted; nothing written";
            return failed();
        }
        program.advance();
        if (program.frame() >= first) {
            const SDL_Surface* picture = program.shown();
            if (enlarged) {
                if (enlarge(picture, enlarged.get(), options.scale) != 0) {
                    error = std::string("cannot enlarge: ") + SDL_GetError();
                    return failed();
                }
                picture = enlarged.get();
            }
            if (!writer.write_picture(picture, error) ||
                !writer.write_sound(program.sound().data(), headless_samples_per_frame, error))
                return failed();
            ++result.frames;
            if (bar) bar->update(double(result.frames) / headless_frames_per_second);
        }
        if (wanted ? result.frames >= wanted : program.finished()) break;
    }
    if (result.frames == 0) {
        error = "nothing to record: the disk ends before --from";
        return failed();
    }
    if (!writer.finish(stop_recording, error)) return failed();
    result.bytes = writer.bytes_written();
    if (bar) bar->finish(double(result.frames) / headless_frames_per_second);
    return true;
}
