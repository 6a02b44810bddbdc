#include "widgets/image.h"

Image::Image(int extra_flags)
{
    flags.fetch_or(extra_flags);
}

void Image::set_image(SDL_Surface* surface)
{
    if (!surface)
        return;
    set_size(surface->w, surface->h);
    image.set_surface(surface);
    set_flag(dirty, true);
}

void Image::create_picture(int w, int h)
{
    set_size(w, h);
    image.create_surface(w, h);
}

void Image::draw(Graphics& target)
{
    SDL_Rect source = image.rect;
    SDL_Rect destination = rect;
    target.blit(image, &source, &destination);
    set_flag(dirty, false);
}

void Image::restore_region(Graphics& target, SDL_Rect r)
{
    // The star field and the spectrum display never get a rect: nothing to copy.
    if (r.w == 0 || r.h == 0)
        return;
    SDL_Rect source = r;
    SDL_Rect destination = r;
    target.blit(image, &source, &destination);
}
