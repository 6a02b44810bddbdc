#include "widgets/quorrel_stars.h"

#include "gfx/damage.h"
#include "gfx/graphics.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int star_prefetch_distance = 16;

// The canvas layout the star layers are indexed for: 32 bits a pixel, rows
// packed without a gap.
bool is_canvas_surface(const SDL_Surface* s)
{
    return s && s->pixels && s->format && s->format->BytesPerPixel == 4 &&
           s->w == QuorrelStars::canvas_width && s->h == QuorrelStars::canvas_height &&
           s->pitch == 4 * s->w;
}

}  // namespace

QuorrelStars::QuorrelStars(int extra_flags) : phase_a(75), phase_b(0), layer_a(0), layer_b(0)
{
    flags.fetch_or(extra_flags);
    for (int i = 0; i < period; ++i)
        envelope[i] = Uint8(255.0 * std::sin(i * pi / period));
}

void QuorrelStars::add_layer(SDL_Surface* stars, Graphics& background)
{
    if (!stars || stars->w != background.rect.w || stars->h != background.rect.h)
        return;
    if (!is_canvas_surface(stars) || !is_canvas_surface(background.surface))
        return;

    layers.emplace_back();
    std::vector<Uint32>& layer = layers.back();
    const Uint32* star_pixels = static_cast<const Uint32*>(stars->pixels);
    const Uint32* background_pixels = static_cast<const Uint32*>(background.surface->pixels);
    Uint32 pixel_count = Uint32(canvas_width * canvas_height);
    for (Uint32 i = 0; i < pixel_count; ++i) {
        Uint32 s = star_pixels[i];
        if ((s >> 24) == 0)
            continue;
        layer.push_back(s);
        layer.push_back(background_pixels[i]);
        layer.push_back(i);
    }

    std::size_t n = layers.size();
    layer_a = std::size_t(std::rand()) % n;
    layer_b = std::size_t(std::rand()) % n;
}

std::size_t QuorrelStars::pick_other(std::size_t except, std::size_t n)
{
    // With fewer than two layers there is no other index: searching for one
    // would never end (or divide by zero).
    if (n < 2)
        return 0;
    std::size_t r;
    do {
        r = std::size_t(std::rand()) % n;
    } while (r == except);
    return r;
}

void QuorrelStars::update()
{
    std::size_t n = layers.size();
    if (n == 0)
        return;
    if (++phase_a == period) {
        phase_a = 0;
        layer_a = pick_other(layer_b, n);
    }
    if (++phase_b == period) {
        phase_b = 0;
        layer_b = pick_other(layer_a, n);
    }
}

void QuorrelStars::draw(Graphics& target)
{
    if (layers.empty() || !is_canvas_surface(target.surface))
        return;
    if (layer_a >= layers.size() || layer_b >= layers.size())
        return;
    Uint32* pixels = static_cast<Uint32*>(target.surface->pixels);
    blend_layer(layers[layer_a], envelope[phase_a % period], pixels, target.damage);
    blend_layer(layers[layer_b], envelope[phase_b % period], pixels, target.damage);
}

void QuorrelStars::blend_layer(const std::vector<Uint32>& layer, unsigned level, Uint32* pixels,
                               Damage* damage) const
{
    const Uint32* triple = layer.data();
    const Uint32* end = triple + layer.size();
    for (; triple != end; triple += 3) {
        // Each star pixel lies on a cache line of its own that the canvas
        // has usually lost between two frames: asking for the lines some
        // stars ahead lets their misses overlap instead of queueing.
        if (end - triple > 3 * star_prefetch_distance)
            __builtin_prefetch(pixels + triple[3 * star_prefetch_distance + 2], 1);
        Uint32 s = triple[0];
        Uint32 b = triple[1];
        int t = int((s >> 24) * level / 255);
        Uint32 out = ((b >> 24) | Uint32(t)) << 24;
        for (int shift = 0; shift <= 16; shift += 8) {
            int sc = int((s >> shift) & 0xFF);
            int bc = int((b >> shift) & 0xFF);
            out |= Uint32(bc + t * (sc - bc) / 255) << shift;
        }
        pixels[triple[2]] = out;
        if (damage)
            damage->add_pixel(triple[2]);
    }
}
