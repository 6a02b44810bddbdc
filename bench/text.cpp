// What text costs the frames that draw it: the info box's three items into
// a 233 x 60 picture (done once per track change), a 200 KB artist that must
// stop at the box's bottom, and the scroller's one-off rendering of a long
// comment. The font is built in memory: 96 glyphs of 6 to 10 px, 16 px high,
// like the shipped small fonts. Compare with the 33 ms frame.
#include "gfx/font.h"
#include "gfx/graphics.h"
#include "widgets/scroller2.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

SDL_Surface* make_font_picture(int height)
{
    const int glyphs = 96;
    int widths[glyphs];
    int total = 0;
    for (int k = 0; k < glyphs; ++k)
        total += widths[k] = 6 + k % 5;
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SRCALPHA, total + 1, height, 32, 0x00FF0000,
                                          0x0000FF00, 0x000000FF, 0xFF000000);
    std::srand(1);
    Uint32* p = static_cast<Uint32*>(s->pixels);
    int x = 0;
    for (int k = 0; k < glyphs; ++k) {
        for (int y = 1; y < height; ++y)
            for (int c = x; c < x + widths[k]; ++c)
                p[y * s->w + c] = Uint32(std::rand() % 256) << 24 | 0x40C0FF;  // antialiased edges
        x += widths[k];
        p[x] = 0x00FFFFFF;  // marker
    }
    return s;
}

Font& test_font()
{
    static Font font;
    static SDL_Surface* picture = nullptr;
    if (!picture) {
        picture = make_font_picture(17);
        font.load(picture);
    }
    return font;
}

std::string words(std::size_t length)
{
    static const char* pool[] = {"the", "vellum", "glows", "under", "amber", "light", "and", "strings"};
    std::string s;
    for (int i = 0; s.size() < length; ++i) {
        s += pool[(i * 7) % 8];
        s += ' ';
    }
    s.resize(length);
    return s;
}

void info_box_text(benchmark::State& state)
{
    Font& font = test_font();
    Graphics box;
    box.create_surface(233, 60);
    std::string artist = words(40), title = words(60);
    for (auto _ : state) {
        box.clear();
        font.draw_text(box, artist, 0, 0);
        font.draw_text(box, title, 0, 16);
        font.draw_text(box, "4:31", 0, 48);
        benchmark::DoNotOptimize(box.surface->pixels);
    }
}
BENCHMARK(info_box_text)->Unit(benchmark::kMicrosecond);

void huge_artist_stops_at_the_box(benchmark::State& state)
{
    Font& font = test_font();
    Graphics box;
    box.create_surface(233, 60);
    std::string artist;
    while (artist.size() < 200000)
        artist += "ab ";
    for (auto _ : state) {
        font.draw_text(box, artist, 0, 0);
        benchmark::DoNotOptimize(box.surface->pixels);
    }
}
BENCHMARK(huge_artist_stops_at_the_box)->Unit(benchmark::kMicrosecond);

// The frame that finishes a fade-out renders the new comment once.
void scroller_render(benchmark::State& state)
{
    Font& font = test_font();
    std::string comment = words(std::size_t(state.range(0)));
    Scroller2 scroller(&font, 640, 90);
    int round = 0;
    for (auto _ : state) {
        scroller.set_text(comment + std::to_string(round++ & 1));
        for (int tick = 0; tick < 29; ++tick)
            scroller.update();
        benchmark::DoNotOptimize(scroller.rendered_width);
    }
}
BENCHMARK(scroller_render)->Arg(200)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
