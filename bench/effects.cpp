// Cost of the intro's effects within a 33 ms frame. The heaviest intro frame
// comes near its end: the canvas is cleared, the star burst plotted, and the
// two last pictures (512 x 200 at full opacity, 640 x 222 still fading in)
// blended over it. Pictures are synthetic, with the soft edges of real art.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include "effects/blend_effect.h"
#include "effects/blend_effect3.h"
#include "effects/star_effect.h"
#include "gfx/graphics.h"

namespace {

constexpr double frame_ms = 33.0;

// Alpha runs across each row from transparent to opaque, so every blend
// path (skipped, partial, full) gets its share.
SDL_Surface* make_picture(int w, int h) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SRCALPHA, w, h, 32, standard_red_mask,
                                          standard_green_mask, standard_blue_mask,
                                          standard_alpha_mask);
    for (int y = 0; y < h; ++y) {
        Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
        for (int x = 0; x < w; ++x) {
            const Uint32 a = x * 255 / (w - 1);
            row[x] = a << 24 | (x & 0xFF) << 16 | (y & 0xFF) << 8 | 0x80;
        }
    }
    return s;
}

// Seconds per iteration divided by the frame period: 0.05 is 5 % of a frame.
void report_share(benchmark::State& state) {
    state.counters["share_of_frame"] =
        benchmark::Counter(state.iterations() * frame_ms / 1000.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void star_burst_frame(benchmark::State& state) {
    Graphics canvas;
    canvas.create_surface(640, 400);
    StarEffect burst(canvas, 1 << 30);
    for (auto _ : state) {
        burst.advance();
        benchmark::DoNotOptimize(burst.draw());
    }
    report_share(state);
}
BENCHMARK(star_burst_frame);

void canvas_fade_in_frame(benchmark::State& state) {
    Graphics canvas;
    canvas.create_surface(640, 400);
    canvas.fill(20, 30, 40);
    for (auto _ : state) {
        // Restart the fade whenever it ends, so every draw scales.
        BlendEffect fade(canvas, 0, 60, true);
        for (int i = 0; i < 30; ++i) {
            fade.advance();
            benchmark::DoNotOptimize(fade.draw());
        }
    }
    state.SetItemsProcessed(state.iterations() * 30);  // frames
}
BENCHMARK(canvas_fade_in_frame);

void heaviest_intro_frame(benchmark::State& state) {
    Graphics canvas;
    canvas.create_surface(640, 400);
    SDL_Surface* picture5 = make_picture(512, 200);
    SDL_Surface* picture6 = make_picture(640, 222);
    StarEffect burst(canvas, 1 << 30);
    BlendEffect3 row5(canvas, 0, 1 << 20, 1000, 0);
    BlendEffect3 row6(canvas, 0, 1 << 20, 1 << 19, 0);
    row5.picture.set_image(picture5);
    row5.picture.set_position(64, 100);
    row6.picture.set_image(picture6);
    row6.picture.set_position(0, 89);
    // Bring row 5 to full opacity and row 6 near it, as on the last intro frames.
    for (int i = 0; i < 40; ++i)
        row5.advance();
    row6.opacity = 0.97f;
    row6.step = 0.0f;
    row6.frame = 40;

    for (auto _ : state) {
        canvas.clear();
        burst.advance();
        burst.draw();
        row5.advance();
        row5.draw();
        row6.advance();
        row6.draw();
        benchmark::ClobberMemory();
    }
    report_share(state);
    SDL_FreeSurface(picture5);
    SDL_FreeSurface(picture6);
}
BENCHMARK(heaviest_intro_frame);

}  // namespace

BENCHMARK_MAIN();
