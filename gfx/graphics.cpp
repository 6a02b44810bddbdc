#include "gfx/graphics.h"

#include "gfx/blit.h"
#include "gfx/damage.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <malloc.h>
#else
#include <sys/mman.h>
#endif

Graphics::Graphics() : surface(0), rect{0, 0, 0, 0}, alpha(255), owned(false), damage(nullptr) {}

Graphics::~Graphics() { free_surface(); }

Graphics::Graphics(const Graphics& from)
    : surface(from.surface), rect(from.rect), alpha(from.alpha), owned(false), damage(nullptr) {
    assert(from.surface == 0);
}

namespace {

constexpr std::size_t huge_page = std::size_t{2} << 20;
constexpr std::size_t large_picture_bytes = std::size_t{512} << 10;

// A picture of half a megabyte or more (the canvas) lives on 2 MB pages where
// the system offers them. Drawing visits it in scattered places every frame
// (star pixels, short spectrum rows), and with 4 KB pages nearly each visit
// was also a miss in the address translation cache. The pixels are ours,
// not SDL's (it sees them as preallocated), and free_surface frees them.
// Windows has no such advice for ordinary memory (its large pages need a
// privilege a listener does not have) and its own aligned allocator.
void* allocate_page_aligned(std::size_t bytes) {
#ifdef _WIN32
    return _aligned_malloc(bytes, huge_page);
#else
    void* pixels = std::aligned_alloc(huge_page, bytes);
    if (pixels) madvise(pixels, bytes, MADV_HUGEPAGE);  // only advice: failing changes nothing
    return pixels;
#endif
}

void free_page_aligned(void* pixels) {
#ifdef _WIN32
    _aligned_free(pixels);
#else
    std::free(pixels);
#endif
}

SDL_Surface* create_large_surface(int w, int h) {
    // SDL's own limits (the pitch is 16 bits), which it checks only for the
    // surfaces it allocates itself.
    if (w >= 16384 || h >= 65536) return nullptr;
    const std::size_t bytes = std::size_t(w) * std::size_t(h) * 4;
    const std::size_t rounded = (bytes + huge_page - 1) / huge_page * huge_page;
    void* pixels = allocate_page_aligned(rounded);
    if (!pixels) return nullptr;
    std::memset(pixels, 0, bytes);
    SDL_Surface* s = SDL_CreateRGBSurfaceFrom(pixels, w, h, 32, w * 4, standard_red_mask, standard_green_mask,
                                              standard_blue_mask, standard_alpha_mask);
    if (!s) {
        free_page_aligned(pixels);
        return nullptr;
    }
    return s;
}

}  // namespace

void Graphics::free_surface() {
    if (!owned) return;
    // Only create_surface's large pictures are preallocated among owned ones.
    void* own_pixels = surface && (surface->flags & SDL_PREALLOC) ? surface->pixels : nullptr;
    SDL_FreeSurface(surface);
    free_page_aligned(own_pixels);
    surface = 0;
}

void Graphics::create_surface(int w, int h) {
    assert(surface == 0);
    owned = true;
    if (w > 0 && h > 0 && std::size_t(w) * std::size_t(h) * 4 >= large_picture_bytes)
        surface = create_large_surface(w, h);
    if (!surface)
        surface = SDL_CreateRGBSurface(SDL_SRCALPHA, w, h, 32, standard_red_mask,
                                       standard_green_mask, standard_blue_mask,
                                       standard_alpha_mask);
    // A failed creation must not leave the requested size behind: callers that
    // grow a picture only when it is too small would otherwise never retry.
    if (surface)
        set_rect(0, 0, w, h);
    else
        set_rect(0, 0, 0, 0);
}

void Graphics::set_surface(SDL_Surface* s) {
    assert(surface == 0);
    if (!s) return;
    set_rect(0, 0, s->w, s->h);
    surface = s;
    // An adopted surface is never ours, even after an owned one was freed
    // here: the destructor must not free what the caller still holds.
    owned = false;
}

void Graphics::blit(Graphics& source, SDL_Rect* source_rect, SDL_Rect* dest_rect) {
    assert(&source != this);
    if (!surface) return;
    if (damage && source.surface && source.alpha != 0) {
        // Clipping only ever shrinks this area, and a negative source
        // offset moves the drawing right by as much as it narrows it.
        damage->add(dest_rect ? dest_rect->x : 0, dest_rect ? dest_rect->y : 0,
                    source_rect ? source_rect->w : source.surface->w,
                    source_rect ? source_rect->h : source.surface->h);
    }
    alpha_blit(source.surface, source_rect, source.alpha, surface, dest_rect);
}

void Graphics::set_rect(int x, int y, int w, int h) {
    rect.x = static_cast<Sint16>(x);
    rect.y = static_cast<Sint16>(y);
    rect.w = static_cast<Uint16>(w);
    rect.h = static_cast<Uint16>(h);
}

void Graphics::set_alpha(Uint8 a) { alpha = a; }

void Graphics::set_alpha(float f) {
    // Compare before converting: a NaN or huge float cast to an integer is
    // undefined, and an opacity past 1 is simply full.
    if (!(f >= 0.0f))
        alpha = 0;
    else if (f >= 1.0f)
        alpha = 255;
    else
        alpha = static_cast<Uint8>(static_cast<int>(f * 255.0f));
}

void Graphics::fill(Uint8 r, Uint8 g, Uint8 b) {
    if (!surface) return;
    if (damage) damage->add(rect.x, rect.y, rect.w, rect.h);
    SDL_FillRect(surface, &rect, SDL_MapRGB(surface->format, r, g, b));
}

void Graphics::fill(Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    if (!surface) return;
    if (damage) damage->add(rect.x, rect.y, rect.w, rect.h);
    SDL_FillRect(surface, &rect, SDL_MapRGBA(surface->format, r, g, b, a));
}

void Graphics::scale_alpha(float f) {
    if (!surface) return;
    // Clamped so an overshooting fade can neither wrap the 8-bit factor nor
    // hit the undefined float-to-integer conversion.
    if (!(f >= 0.0f)) f = 0.0f;
    if (f > 1.0f) f = 1.0f;
    if (damage && f < 1.0f) damage->add_everything();
    scale_surface_alpha(surface, static_cast<Uint8>(static_cast<int>(f * 255.0f)));
}
