// Graphics: the one picture type. Wraps one SDL surface with the region it
// stands for, a global opacity used when it is drawn, and whether it owns
// (and so frees) the surface. A Graphics that holds a surface can be neither
// copied nor assigned; containers are sized while their elements are empty.
#pragma once

#include <SDL.h>
#include <cassert>

class Damage;

// The standard pixel format: 32-bit ARGB, alpha in the top byte.
constexpr Uint32 standard_alpha_mask = 0xFF000000;
constexpr Uint32 standard_red_mask = 0x00FF0000;
constexpr Uint32 standard_green_mask = 0x0000FF00;
constexpr Uint32 standard_blue_mask = 0x000000FF;

class Graphics {
public:
    Graphics();
    virtual ~Graphics();

    // Only an empty Graphics can be copied; the copy never owns.
    Graphics(const Graphics& from);
    // Only between empty objects; changes nothing.
    const Graphics& operator=(const Graphics& left) {
        assert(left.surface == 0);
        assert(surface == 0);
        return *this;
    }

    // Frees an owned surface; an adopted one stays in place.
    void free_surface();
    // A new owned w x h surface in the standard format, all transparent black.
    void create_surface(int w, int h);
    // Adopts s without owning it; null changes nothing.
    void set_surface(SDL_Surface* s);
    // Blends source (its source_rect part, or all of it) onto this surface at
    // dest_rect's x and y with source's alpha; neither rectangle is written.
    void blit(Graphics& source, SDL_Rect* source_rect, SDL_Rect* dest_rect);

    void set_rect(int x, int y, int w, int h);
    void set_alpha(Uint8 a);
    void set_alpha(float f);  // 0 below zero (and for NaN), 255 from 1 up
    float get_alpha() const { return alpha / 255.0f; }

    void fill(Uint8 r, Uint8 g, Uint8 b);  // opaque: SDL's RGB mapping sets alpha
    void fill(Uint8 r, Uint8 g, Uint8 b, Uint8 a);
    void clear() { fill(0, 0, 0, 0); }
    // Every pixel's alpha becomes alpha * trunc(f * 255) / 256; f = 1 changes nothing.
    void scale_alpha(float f);

    SDL_Surface* surface;
    SDL_Rect rect;
    Uint8 alpha;
    bool owned;
    // Where drawing on this picture is recorded, if anywhere (the canvas'
    // record, for presentation). Code that writes pixels directly records
    // them itself.
    Damage* damage;
};
