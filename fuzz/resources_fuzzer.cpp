// The data file reader, load_png and convert_surface on arbitrary bytes.
//
// Input: one mode byte, then the payload.
//   mode bit 0 clear: the payload is the whole data file (with bit 1 set its
//     first four bytes are replaced by the right id, so mutations spend their
//     time past the header). Every request must succeed exactly when the id
//     matches and the file holds the whole resource, and then give its bytes.
//   mode bit 0 set: the payload is the bytes of one resource in an otherwise
//     valid data file. load_png must give a surface within SDL's limits whose
//     pixels are the decoder's, and convert_surface the same picture in ARGB.
#include "gfx/misc.h"
#include "gfx/resource_table.h"

#include "fuzz/fuzz_support.h"

#include <SDL.h>
#include <fcntl.h>
#include <lodepng.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string folder;


void remove_folder() {
    unlink((folder + "/data").c_str());
    rmdir(folder.c_str());
}

// The data file in the working directory: length bytes, zero where nothing
// else is written (sparse, so a large offset costs nothing).
void write_data(const std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>>& parts,
                std::uint64_t length) {
    int fd = open("data", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    check(fd >= 0, "cannot write the data file");
    check(ftruncate(fd, static_cast<off_t>(length)) == 0, "cannot size the data file");
    for (const auto& part : parts)
        if (!part.second.empty())
            check(pwrite(fd, part.second.data(), part.second.size(),
                         static_cast<off_t>(part.first)) ==
                      static_cast<ssize_t>(part.second.size()),
                  "cannot fill the data file");
    close(fd);
    reset_resource_reader();
}

std::vector<std::uint8_t> id_bytes() {
    std::uint32_t id = static_cast<std::uint32_t>(data_file_id);
    return {std::uint8_t(id), std::uint8_t(id >> 8), std::uint8_t(id >> 16),
            std::uint8_t(id >> 24)};
}

void whole_file(const std::uint8_t* bytes, size_t size, bool patch_id, std::uint8_t pick) {
    std::vector<std::uint8_t> file(bytes, bytes + size);
    if (patch_id) {
        std::vector<std::uint8_t> id = id_bytes();
        if (file.size() < 4) file.resize(4);
        std::memcpy(file.data(), id.data(), 4);
    }
    write_data({{0, file}}, file.size());

    std::int32_t id = 0;
    if (file.size() >= 4)
        id = static_cast<std::int32_t>(file[0] | file[1] << 8 | file[2] << 16 |
                                       static_cast<std::uint32_t>(file[3]) << 24);
    bool id_ok = id == data_file_id;

    // The first and last entries, one the input picks, and a name that
    // differs from a table name only in letter case.
    std::vector<std::string> names = {resource_table[0].name,
                                      resource_table[pick % resource_count].name,
                                      "RES/buttons.png",
                                      resource_table[resource_count - 1].name};
    for (const std::string& name : names) {
        const ResourceEntry* entry = nullptr;
        for (const ResourceEntry& e : resource_table)
            if (name == e.name) entry = &e;
        std::vector<unsigned char> out(3, 0xAB);
        bool loaded = load_resource(name, out);
        bool complete = entry && entry->offset + entry->size <= file.size();
        check(loaded == (id_ok && complete), "load_resource's result disagrees with the file");
        if (loaded)
            check(out.size() == entry->size &&
                      std::memcmp(out.data(), file.data() + entry->offset, entry->size) == 0,
                  "load_resource gave other bytes than the file holds");
        SDL_Surface* picture = load_image(name);
        check((picture != nullptr) == loaded, "load_image's result disagrees with the reader");
        if (picture) SDL_FreeSurface(picture);
    }
}

const ResourceEntry& largest_entry() {
    const ResourceEntry* best = &resource_table[0];
    for (const ResourceEntry& e : resource_table)
        if (e.size > best->size) best = &e;
    return *best;
}

void one_picture(const std::uint8_t* bytes, size_t size) {
    const ResourceEntry& entry = largest_entry();
    std::vector<std::uint8_t> resource(bytes, bytes + (size < entry.size ? size : entry.size));
    write_data({{0, id_bytes()}, {entry.offset, resource}}, entry.offset + entry.size);
    resource.resize(entry.size, 0);

    SDL_Surface* png = load_png(entry.name);
    check(png != nullptr, "load_png gave null for a resource that was read");
    check(png->w <= 16383 && png->h <= 16383 &&
              static_cast<std::uint64_t>(png->w) * png->h <= 16ull * 1024 * 1024,
          "load_png made a picture past the size limits");
    check(png->pitch == 4 * png->w, "load_png's rows are not 4 * width apart");

    // What the decoder alone makes of the same bytes: the picture must hold
    // exactly that whenever it decodes within the limits.
    // Only headers within the limits are decoded here too: a lying header
    // would have the decoder ask for gigabytes.
    unsigned w = 0, h = 0;
    unsigned char* reference = nullptr;
    LodePNGState state;
    lodepng_state_init(&state);
    unsigned error = lodepng_inspect(&w, &h, &state, resource.data(), resource.size());
    lodepng_state_cleanup(&state);
    bool within = w <= 16383 && h <= 16383 && static_cast<std::uint64_t>(w) * h <= 16ull << 20;
    if (error == 0 && within)
        error = lodepng_decode32(&reference, &w, &h, resource.data(), resource.size());
    if (error == 0 && within) {
        check(png->w == int(w) && png->h == int(h), "load_png's size differs from the decoder's");
        check(std::memcmp(png->pixels, reference, size_t(w) * h * 4) == 0,
              "load_png's pixels differ from the decoder's");
    }

    int pw = png->w, ph = png->h;
    std::vector<std::uint8_t> rgba(static_cast<const std::uint8_t*>(png->pixels),
                                   static_cast<const std::uint8_t*>(png->pixels) + size_t(pw) * ph * 4);
    SDL_Surface* converted = convert_surface(png);
    check(converted != nullptr, "convert_surface failed on a loaded picture");
    check(converted->w == pw && converted->h == ph && converted->format->BytesPerPixel == 4 &&
              converted->format->Amask == 0xFF000000 && converted->format->Rmask == 0x00FF0000,
          "convert_surface did not give the standard format");
    for (int y = 0; y < ph; ++y)
        for (int x = 0; x < pw; ++x) {
            const std::uint8_t* p = &rgba[(size_t(y) * pw + x) * 4];
            std::uint32_t expected = std::uint32_t(p[3]) << 24 | std::uint32_t(p[0]) << 16 |
                                     std::uint32_t(p[1]) << 8 | p[2];
            std::uint32_t got;
            std::memcpy(&got, static_cast<std::uint8_t*>(converted->pixels) +
                                  size_t(y) * converted->pitch + size_t(x) * 4, 4);
            check(got == expected, "convert_surface changed a pixel");
        }
    SDL_FreeSurface(converted);
    std::free(reference);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The reader opens "data" in the working directory and prints one line per
    // failure; the fuzzer reports on stderr, so stdout can go.
    char templ[] = "/dev/shm/diskplayer-fuzz-XXXXXX";
    char* made = mkdtemp(templ);
    if (!made) {
        char fallback[] = "/tmp/diskplayer-fuzz-XXXXXX";
        made = mkdtemp(fallback);
        check(made != nullptr, "no temporary folder");
    }
    folder = made;
    check(chdir(made) == 0, "cannot enter the temporary folder");
    std::atexit(remove_folder);
    check(std::freopen("/dev/null", "w", stdout) != nullptr, "cannot silence stdout");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 2) return 0;
    if (data[0] & 1)
        one_picture(data + 1, size - 1);
    else
        whole_file(data + 2, size - 2, (data[0] & 2) != 0, data[1]);
    return 0;
}
