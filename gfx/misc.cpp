#include "gfx/misc.h"

#include "gfx/resource_table.h"

#include <lodepng.h>

#include <cassert>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

const char data_file_name[] = "data";

std::ifstream data_stream;
std::int32_t stored_id = 0;

// Pictures larger than this are refused before decoding: SDL 1.2 cannot make
// a 32-bit surface wider than 16383 pixels, and a lying header must not make
// us allocate gigabytes.
constexpr unsigned max_png_side = 16383;
constexpr unsigned long long max_png_pixels = 16ull * 1024 * 1024;

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

bool open_data_file() {
    data_stream.clear();
    data_stream.open(data_file_name, std::ios::in | std::ios::binary);
    data_stream.peek();
    if (data_stream.fail()) {
        data_stream.close();
        data_stream.clear();
        print_line("can't load: " + quoted(data_file_name) + "\n");
        return false;
    }
    char bytes[4] = {0, 0, 0, 0};
    data_stream.read(bytes, 4);
    std::uint32_t id = static_cast<unsigned char>(bytes[0]) |
                       static_cast<unsigned char>(bytes[1]) << 8 |
                       static_cast<unsigned char>(bytes[2]) << 16 |
                       static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[3])) << 24;
    stored_id = static_cast<std::int32_t>(id);
    if (stored_id != data_file_id) {
        print_line(
            "data file id mismatch! this means that either your executable or data file is "
            "outdated\ndata file id: " +
            std::to_string(stored_id) + ", expected id:" + std::to_string(data_file_id) + "\n");
        return false;
    }
    return true;
}

const ResourceEntry* find_entry(const std::string& name) {
    for (const ResourceEntry& entry : resource_table)
        if (name == entry.name) return &entry;
    return nullptr;
}

}  // namespace

bool load_resource(const std::string& name, std::vector<unsigned char>& out) {
    if (!data_stream.is_open()) {
        if (!open_data_file()) return false;
    } else if (stored_id != data_file_id) {
        return false;
    }

    const std::string display_name = std::string(data_file_name) + ":" + name;
    const ResourceEntry* entry = find_entry(name);
    if (!entry) {
        print_line("missing resource " + quoted(display_name) + "\n");
        return false;
    }

    data_stream.seekg(static_cast<std::streamoff>(entry->offset), std::ios::beg);
    out.resize(entry->size);
    if (entry->size != 0)
        data_stream.read(reinterpret_cast<char*>(out.data()),
                         static_cast<std::streamsize>(entry->size));
    // A file cut short is an error like any other: report it and clear the
    // stream's state, or every later resource would silently come back empty.
    bool short_read = entry->size != 0 &&
                      static_cast<std::uint64_t>(data_stream.gcount()) != entry->size;
    if (data_stream.bad() || short_read) {
        data_stream.clear();
        print_line("io error while reading " + quoted(display_name) + "\n");
        return false;
    }
    data_stream.clear();
    return true;
}

SDL_Surface* load_png(std::string name) {
    std::vector<unsigned char> bytes;
    if (!load_resource(name, bytes)) return 0;

    unsigned w = 0, h = 0;
    unsigned char* pixels = nullptr;
    LodePNGState state;
    lodepng_state_init(&state);
    bool inspected = lodepng_inspect(&w, &h, &state, bytes.data(), bytes.size()) == 0;
    lodepng_state_cleanup(&state);
    if (inspected && (w > max_png_side || h > max_png_side ||
                      static_cast<unsigned long long>(w) * h > max_png_pixels)) {
        w = h = 0;  // undecodable: an empty picture
    } else {
        // Decoder errors are not fatal: whatever size it reports, with
        // whatever pixels it produced, becomes the picture.
        lodepng_decode32(&pixels, &w, &h, bytes.data(), bytes.size());
        if (w > max_png_side || h > max_png_side ||
            static_cast<unsigned long long>(w) * h > max_png_pixels) {
            w = h = 0;
        }
    }

    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SRCALPHA, static_cast<int>(w),
                                                static_cast<int>(h), 32, 0x000000FF, 0x0000FF00,
                                                0x00FF0000, 0xFF000000);
    assert(surface != 0);
    assert(surface->pitch == 4 * w);
    size_t available = pixels ? static_cast<size_t>(w) * h * 4 : 0;
    size_t room = static_cast<size_t>(surface->pitch) * surface->h;
    size_t count = available < room ? available : room;
    if (count != 0 && surface->pixels) std::memcpy(surface->pixels, pixels, count);
    std::free(pixels);
    return surface;
}

SDL_Surface* convert_surface(SDL_Surface* s) {
    if (!s) return 0;
    SDL_PixelFormat format;
    std::memset(&format, 0, sizeof format);
    format.palette = 0;
    format.BitsPerPixel = 32;
    format.BytesPerPixel = 4;
    format.Rshift = 16;
    format.Gshift = 8;
    format.Bshift = 0;
    format.Ashift = 24;
    format.Rmask = 0x00FF0000;
    format.Gmask = 0x0000FF00;
    format.Bmask = 0x000000FF;
    format.Amask = 0xFF000000;
    format.colorkey = 0;
    format.alpha = 255;
    SDL_Surface* converted = SDL_ConvertSurface(s, &format, SDL_SRCALPHA);
    if (converted != s) SDL_FreeSurface(s);
    return converted;
}

SDL_Surface* load_image(const std::string& name) {
    SDL_Surface* png = load_png(name);
    if (!png) return 0;
    return convert_surface(png);
}

bool equal_nocase(char a, char b) {
    // Through unsigned char: tolower of a negative byte value is undefined.
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

namespace {

// True when text stands in s from position start on, ignoring case.
bool matches_nocase_at(const std::string& s, size_t start, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (!equal_nocase(s[start + i], text[i])) return false;
    return true;
}

}  // namespace

bool starts_with_nocase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && matches_nocase_at(s, 0, prefix);
}

bool ends_with_nocase(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && matches_nocase_at(s, s.size() - suffix.size(), suffix);
}

void print_line(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void reset_resource_reader() {
    if (data_stream.is_open()) data_stream.close();
    data_stream.clear();
    stored_id = 0;
}
