#include "audio/playlist.h"

#include "gfx/misc.h"

#include <dlib/dir_nav.h>
#include <sys/stat.h>

#include <algorithm>

std::vector<std::string> playlist;
std::uint64_t current_index = 0;

namespace {

// dlib lists FIFOs, sockets and devices among the files. Opening a FIFO named
// like a track blocks for ever, on the main thread at start or inside the
// audio callback under audio_lock, so only regular files (symlinks followed)
// are taken.
bool is_regular_file(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

void scan_music_folder() {
    playlist.clear();
    try {
        dlib::directory folder("music");
        for (const dlib::file& entry : folder.get_files()) {
            if (is_music_file(entry.name()) && is_regular_file(entry.full_name()))
                playlist.push_back(entry.full_name());
        }
    } catch (const dlib::directory::dir_not_found& error) {
        print_line(std::string(error.what()) + "\n");
        playlist.clear();
        return;
    } catch (const dlib::directory::listing_error& error) {
        print_line(std::string(error.what()) + "\n");
        playlist.clear();
        return;
    } catch (const dlib::file::file_not_found& error) {
        print_line(std::string(error.what()) + "\n");
        playlist.clear();
        return;
    }
    // std::string compares as unsigned bytes: "10.ogg" sorts before "2.ogg",
    // capitals before lower case, as the listener numbered the files.
    std::sort(playlist.begin(), playlist.end());
}

bool is_music_file(const std::string& name) {
    return ends_with_nocase(name, ".ogg") || ends_with_nocase(name, ".oga");
}

std::uint64_t step_index(std::uint64_t current, int offset) {
    // Signed arithmetic: stepping back from 0 must not wrap to 2^64 - 1.
    const std::int64_t n = static_cast<std::int64_t>(playlist.size());
    if (n == 0)
        return 0;
    std::int64_t s = static_cast<std::int64_t>(current) + offset;
    if (s == -1)
        s = n - 1;
    s %= n;
    if (s < 0)
        s += n;
    return static_cast<std::uint64_t>(s);
}
