// Fonts from arbitrary pictures measuring and drawing arbitrary texts.
//
// Input: picture width, height and depth, the marker row as bits, a pixel
// pattern for the glyph rows, the target's size, a line width, margin and
// top, then the text. Besides the sanitizers it checks the measuring
// contracts: line height, fit_line's bounds and break rules, and that
// draw_text leaves the target untouched when there is no room for a line.
#include "gfx/font.h"
#include "gfx/graphics.h"

#include "fuzz/fuzz_support.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {


SDL_Surface* make_picture(Reader& in) {
    int w = in.byte();                 // up to 255 columns
    int h = in.byte() % 40;            // 0 to 39 rows
    std::uint8_t depth_pick = in.byte();
    // Mostly the standard format that load_image gives; now and then a
    // 24- or 16-bit picture, which the loader never makes but a font accepts.
    int depth = depth_pick < 224 ? 32 : depth_pick < 240 ? 24 : 16;
    SDL_Surface* s = depth == 32
                         ? SDL_CreateRGBSurface(SDL_SRCALPHA, w, h, 32, 0x00FF0000, 0x0000FF00,
                                                0x000000FF, 0xFF000000)
                         : SDL_CreateRGBSurface(0, w, h, depth, 0, 0, 0, 0);
    if (!s) return nullptr;
    int bpp = s->format->BytesPerPixel;
    auto* pixels = static_cast<std::uint8_t*>(s->pixels);
    if (h > 0) {
        std::uint8_t bits = 0;
        for (int x = 0; x < w; ++x) {
            if (x % 8 == 0) bits = in.byte();
            // A marker is any pixel with colour; the rest of the row is clear.
            std::uint32_t value = (bits >> (x % 8)) & 1 ? 0x00FFFFFFu : 0xFF000000u;
            std::memcpy(pixels + x * bpp, &value, bpp);
        }
    }
    std::uint8_t pattern[8];
    for (std::uint8_t& p : pattern) p = in.byte();
    for (int y = 1; y < h; ++y)
        for (int i = 0; i < w * bpp; ++i) pixels[y * s->pitch + i] = pattern[(y + i) % 8];
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    check(std::freopen("/dev/null", "w", stdout) != nullptr, "cannot silence stdout");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    Reader in{data, size};
    SDL_Surface* picture = make_picture(in);
    if (!picture) return 0;
    int target_w = in.byte() % 96;
    int target_h = in.byte() % 64;
    int max_width = in.int16();
    int margin = std::int8_t(in.byte());
    int top = in.int16() % 128;
    std::string_view text(reinterpret_cast<const char*>(in.data), in.size);

    Font font;
    font.load(picture);
    check(font.line_height() == std::max(0, picture->h - 1), "line height is not picture height - 1");

    int width = font.text_width(text);
    check(width >= 0, "text_width is negative");
    std::int64_t sum = 0;
    for (char c : text) sum += font.text_width(std::string_view(&c, 1));
    check(width == int(std::min<std::int64_t>(sum, INT_MAX)), "text_width is not the sum of its glyphs");

    // fit_line: never past the text, never over a newline, empty where no
    // line can start or where it breaks at a leading blank, and the line
    // before its last character always fits.
    size_t length = font.fit_line(text, max_width);
    check(length <= text.size(), "fit_line ran past the text");
    bool can_start = !text.empty() && max_width > 0 && text[0] != '\n';
    check(length == 0 || can_start, "fit_line gave a line where none can start");
    check(length > 0 || !can_start || font.glyph_index(text[0]) == 0,
          "fit_line gave an empty line that starts with a letter");
    check(text.substr(0, length).find('\n') == std::string_view::npos, "fit_line's line holds a newline");
    if (length > 0 && length < text.size())
        check(font.text_width(text.substr(0, length - 1)) < max_width, "fit_line's line is too wide");

    Graphics target;
    target.create_surface(target_w, target_h);
    font.draw_line(target, text, Sint16(top), Sint16(top / 2));
    target.clear();
    font.draw_text(target, text, margin, top);
    // Lines start at the rect's height or below, or have no width: nothing drawn.
    if (target.surface && (top >= target_h || int(target.rect.w) - 2 * margin <= 0)) {
        const auto* p = static_cast<const std::uint8_t*>(target.surface->pixels);
        for (int i = 0; i < target.surface->pitch * target.surface->h; ++i)
            check(p[i] == 0, "draw_text drew where no line has room");
    }
    SDL_FreeSurface(picture);
    return 0;
}
