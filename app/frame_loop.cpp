#include "app/frame_loop.h"

#include "app/event_wait.h"
#include "app/player_screen.h"
#include "gfx/blit.h"
#include "gfx/damage.h"
#include "gfx/enlarge.h"
#include "widgets/image.h"
#include "widgets/quorrel_spectrum.h"
#include "widgets/skinned_scale.h"

#include <algorithm>

Graphics screen;
Graphics canvas;
dlib::read_write_mutex screen_lock;
dlib::mutex effect_lock;
std::list<std::unique_ptr<Effect>> effect_list;
std::vector<Widget*> widget_list;
std::atomic<Uint32> frame_counter{0};
std::atomic<float (*)()> position_source{nullptr};
std::atomic<void (*)(Uint8**)> spectrum_source{nullptr};

namespace {

std::atomic<bool> player_phase{false};
std::atomic<bool> stop_requested{false};
std::atomic<bool> frame_event_pending{false};
SDL_Thread* frame_thread_handle = nullptr;

}  // namespace

void push_frame_ready() {
    if (frame_event_pending.exchange(true)) return;
    SDL_Event event;
    event.type = SDL_USEREVENT;
    event.user.code = user_event_frame_ready;
    event.user.data1 = nullptr;
    event.user.data2 = nullptr;
    if (SDL_PushEvent(&event) != 0)
        frame_event_pending.store(false);
    else
        wake_event_wait();
}

void add_widget(Widget* w) {
    for (Widget* held : widget_list)
        if (held == w) return;
    widget_list.push_back(w);
}

bool in_player_phase() {
    if (player_phase.load(std::memory_order_relaxed)) return true;
    if (frame_counter.load(std::memory_order_relaxed) > last_intro_frame) {
        player_phase.store(true, std::memory_order_relaxed);
        return true;
    }
    return false;
}

FramePace frame_pace(Uint32 t0, Uint32 t1) {
    Uint32 elapsed = t1 - t0;
    if (elapsed < frame_period_ms) return {frame_period_ms - elapsed, 0};
    return {0, elapsed / frame_period_ms};
}

void poll_player() {
    if (float (*position)() = position_source.load()) {
        if (position_scale) position_scale->set_value(position());
    }
    if (void (*spectrum)(Uint8**) = spectrum_source.load()) {
        if (spectrum_display) {
            Uint8* levels = spectrum_display->levels;
            spectrum(&levels);
        }
    }
}

void run_effects() {
    for (auto it = effect_list.begin(); it != effect_list.end();) {
        (*it)->advance();
        if ((*it)->draw())
            ++it;
        else
            it = effect_list.erase(it);
    }
}

void skip_frames(Uint32 count) {
    dlib::auto_mutex guard(effect_lock);
    for (Uint32 i = 0; i < count; ++i) {
        frame_counter.fetch_add(1, std::memory_order_relaxed);
        for (auto& effect : effect_list) effect->advance();
    }
}

void render_frame() {
    ScreenLock lock;
    if (!in_player_phase()) {
        canvas.clear();
    } else if (background) {
        poll_player();
        tick_pass(widget_list, *background, canvas);
    }
    dlib::auto_mutex guard(effect_lock);
    run_effects();
}

int window_zoom() {
    if (!screen.surface || !canvas.surface || canvas.surface->w <= 0 || canvas.surface->h <= 0) return 1;
    const int fits = std::min(screen.surface->w / canvas.surface->w, screen.surface->h / canvas.surface->h);
    return std::clamp(fits, 1, max_enlargement);
}

namespace {

Damage canvas_damage;
// What the record was last started for: a new window or canvas starts over
// with everything.
const SDL_Surface* presented_window = nullptr;
const SDL_Surface* presented_canvas = nullptr;
std::vector<SDL_Rect> update_rects;
// A window in another pixel format, at a zoom: SDL's blend of the canvas at
// its own size, from which the window's picture is enlarged.
SDL_Surface* unzoomed = nullptr;

// Only what was drawn since the last presentation, where the window takes
// the canvas' pixels directly.
bool show_drawn_parts(int zoom) {
    if (!can_show_over_black(canvas.surface, screen.surface, zoom)) return false;
    for (const SDL_Rect& r : canvas_damage.drawn_rects())
        if (show_over_black(canvas.surface, screen.surface, &r, zoom) != 0) return false;
    return show_pixels_over_black(canvas.surface, screen.surface, canvas_damage.drawn_pixels(), zoom) == 0;
}

// The whole canvas SDL's way: its blend over a cleared window.
void show_by_sdl(int zoom) {
    if (zoom == 1) {
        screen.clear();
        SDL_UpperBlit(canvas.surface, nullptr, screen.surface, nullptr);
        return;
    }
    const SDL_PixelFormat* f = screen.surface->format;
    if (!unzoomed || unzoomed->w != canvas.surface->w || unzoomed->h != canvas.surface->h ||
        unzoomed->format->Rmask != f->Rmask || unzoomed->format->Gmask != f->Gmask ||
        unzoomed->format->Bmask != f->Bmask) {
        SDL_FreeSurface(unzoomed);
        unzoomed = SDL_CreateRGBSurface(SDL_SWSURFACE, canvas.surface->w, canvas.surface->h, 32, f->Rmask,
                                        f->Gmask, f->Bmask, 0);
        if (!unzoomed) return;
    }
    SDL_FillRect(unzoomed, nullptr, 0);
    SDL_UpperBlit(canvas.surface, nullptr, unzoomed, nullptr);
    enlarge(unzoomed, screen.surface, zoom);
}

}  // namespace

void present_frame() {
    frame_event_pending.store(false);
    ScreenLock lock;
    if (!screen.surface || !canvas.surface) return;
    if (canvas.damage != &canvas_damage || screen.surface != presented_window ||
        canvas.surface != presented_canvas) {
        canvas.damage = &canvas_damage;
        canvas_damage.set_bounds(canvas.surface->w, canvas.surface->h);
        presented_window = screen.surface;
        presented_canvas = canvas.surface;
    }
    if (canvas_damage.is_empty()) return;  // the window shows this frame already
    const int zoom = window_zoom();
    if (canvas_damage.is_everything() || !show_drawn_parts(zoom)) {
        // The program's own pass gives exactly what SDL's blend over a
        // cleared window gives, in one pass instead of three; a window in
        // another pixel format takes SDL's way.
        if (show_over_black(canvas.surface, screen.surface, nullptr, zoom) != 0) show_by_sdl(zoom);
        canvas_damage.add_everything();
    }
    canvas_damage.update_rects(update_rects);
    if (zoom > 1)
        for (SDL_Rect& r : update_rects) r = enlarged_rect(r, zoom);
    SDL_UpdateRects(screen.surface, static_cast<int>(update_rects.size()), update_rects.data());
    canvas_damage.clear();
}

int frame_thread(void*) {
    while (!stop_requested.load()) {
        Uint32 t0 = SDL_GetTicks();
        render_frame();
        push_frame_ready();
        Uint32 t1 = SDL_GetTicks();
        frame_counter.fetch_add(1, std::memory_order_relaxed);
        FramePace pace = frame_pace(t0, t1);
        if (pace.extra_frames == 0)
            SDL_Delay(pace.delay_ms);
        else
            skip_frames(pace.extra_frames);
    }
    return 0;
}

bool start_frame_thread() {
    stop_requested.store(false);
    frame_thread_handle = SDL_CreateThread(frame_thread, nullptr);
    return frame_thread_handle != nullptr;
}

void stop_frame_thread() {
    if (!frame_thread_handle) return;
    stop_requested.store(true);
    SDL_WaitThread(frame_thread_handle, nullptr);
    frame_thread_handle = nullptr;
}
