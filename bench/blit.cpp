// The blitter against SDL 1.2's own per-pixel-alpha blit on the same data,
// over the whole 640 x 400 canvas, with pixman's OVER as the ceiling; and
// the alpha scaling against a memset. Compare the times within one run:
// absolute figures vary between machines. DISKPLAYER_BLIT=scalar|sse2
// forces a narrower loop of the blitter.
#include "bench/summary.h"
#include "gfx/blit.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int width = 640;
constexpr int height = 400;

SDL_Surface* make_surface() {
    return SDL_CreateRGBSurface(SDL_SRCALPHA, width, height, 32, 0x00FF0000, 0x0000FF00,
                                0x000000FF, 0xFF000000);
}

enum class Alphas { varied, opaque };

// Source pixels with alpha 1..254 (or all 255), random colours; an opaque
// random destination.
struct Canvas {
    SDL_Surface* src = make_surface();
    SDL_Surface* dst = make_surface();
    explicit Canvas(Alphas alphas) {
        std::srand(1);
        Uint32* s = static_cast<Uint32*>(src->pixels);
        Uint32* d = static_cast<Uint32*>(dst->pixels);
        for (int i = 0; i < width * height; ++i) {
            Uint32 a = alphas == Alphas::opaque ? 255 : 1 + std::rand() % 254;
            s[i] = a << 24 | (std::rand() & 0xFFFFFF);
            d[i] = 0xFF000000u | (std::rand() & 0xFFFFFF);
        }
    }
    ~Canvas() {
        SDL_FreeSurface(src);
        SDL_FreeSurface(dst);
    }
};

void set_pixels_processed(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * width * height);
}

void alpha_blit_varied(benchmark::State& state) {
    Canvas c(Alphas::varied);
    for (auto _ : state) alpha_blit(c.src, nullptr, 255, c.dst, nullptr);
    set_pixels_processed(state);
}

void alpha_blit_opaque(benchmark::State& state) {
    Canvas c(Alphas::opaque);
    for (auto _ : state) alpha_blit(c.src, nullptr, 255, c.dst, nullptr);
    set_pixels_processed(state);
}

void alpha_blit_global_128(benchmark::State& state) {
    Canvas c(Alphas::varied);
    for (auto _ : state) alpha_blit(c.src, nullptr, 128, c.dst, nullptr);
    set_pixels_processed(state);
}

void sdl_blit(benchmark::State& state, Alphas alphas) {
    Canvas c(alphas);
    SDL_SetAlpha(c.src, SDL_SRCALPHA, 255);
    for (auto _ : state) SDL_BlitSurface(c.src, nullptr, c.dst, nullptr);
    set_pixels_processed(state);
}

void sdl_blit_varied(benchmark::State& state) { sdl_blit(state, Alphas::varied); }
void sdl_blit_opaque(benchmark::State& state) { sdl_blit(state, Alphas::opaque); }

void sdl_blit_global_128(benchmark::State& state) {
    Canvas c(Alphas::varied);
    SDL_SetAlpha(c.src, SDL_SRCALPHA, 128);
    for (auto _ : state) SDL_BlitSurface(c.src, nullptr, c.dst, nullptr);
    set_pixels_processed(state);
}

void scale_alpha_half(benchmark::State& state) {
    Canvas c(Alphas::varied);
    for (auto _ : state) scale_surface_alpha(c.src, 128);
    set_pixels_processed(state);
}

void memset_canvas(benchmark::State& state) {
    Canvas c(Alphas::varied);
    for (auto _ : state) {
        std::memset(c.src->pixels, 0, static_cast<size_t>(c.src->pitch) * height);
        benchmark::ClobberMemory();
    }
    set_pixels_processed(state);
}

// The ceiling: pixman's OVER of a premultiplied ARGB picture, the fastest
// general alpha compositing on the system. Its arithmetic differs from ours.
void pixman_over_varied(benchmark::State& state) {
    Canvas c(Alphas::varied);
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height,
                                                   static_cast<uint32_t*>(c.src->pixels), c.src->pitch);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height,
                                                   static_cast<uint32_t*>(c.dst->pixels), c.dst->pitch);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, width, height);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
    set_pixels_processed(state);
}

}  // namespace

BENCHMARK(pixman_over_varied);
BENCHMARK(alpha_blit_varied);
BENCHMARK(sdl_blit_varied);
BENCHMARK(alpha_blit_opaque);
BENCHMARK(sdl_blit_opaque);
BENCHMARK(alpha_blit_global_128);
BENCHMARK(sdl_blit_global_128);
BENCHMARK(scale_alpha_half);
BENCHMARK(memset_canvas);

int main(int argc, char** argv) {
    const MedianReporter& times = run_benchmarks(&argc, argv);
    print_speed(times, "alpha_blit, varied alpha, vs SDL_BlitSurface", "alpha_blit_varied", "sdl_blit_varied", 2.0);
    print_speed(times, "alpha_blit, opaque source, vs SDL_BlitSurface", "alpha_blit_opaque", "sdl_blit_opaque", 3.0);
    print_speed(times, "alpha_blit, global alpha 128, vs SDL_BlitSurface", "alpha_blit_global_128",
                "sdl_blit_global_128", 0);
    print_speed(times, "alpha_blit, varied alpha, vs pixman OVER (ceiling)", "alpha_blit_varied",
                "pixman_over_varied", 0);
    print_cost(times, "scale_surface_alpha of the canvas, in memsets of it", "scale_alpha_half", "memset_canvas", 0);
    benchmark::Shutdown();
    return 0;
}
