#include "app/player_screen.h"

#include "app/frame_loop.h"
#include "effects/blend_effect2.h"
#include "gfx/font.h"
#include "gfx/misc.h"
#include "widgets/image.h"
#include "widgets/quorrel_spectrum.h"
#include "widgets/quorrel_stars.h"
#include "widgets/scroller2.h"
#include "widgets/skinned_button.h"
#include "widgets/skinned_button2.h"
#include "widgets/skinned_scale.h"

#include <cmath>
#include <cstring>

Image* background = nullptr;
Image* info_box = nullptr;
SkinnedButton2* play_button = nullptr;
SkinnedButton* next_button = nullptr;
SkinnedButton* previous_button = nullptr;
SkinnedScale* position_scale = nullptr;
QuorrelStars* star_field = nullptr;
Scroller2* scroller = nullptr;
QuorrelSpectrum* spectrum_display = nullptr;

namespace {

constexpr int info_box_width = 233;
constexpr int info_box_height = 60;
constexpr int info_fade_frames = 30;
constexpr int scroller_pixels_per_second = 90;

// The background as a picture of the background Image's own: a created
// picture of its size lies on large pages (gfx/graphics), which the
// spectrum's and the scroller's restores, row after short row every frame,
// need far fewer address translations for. Both are in the standard format,
// so the copy is exact. Without that picture it adopts the loaded one.
void load_background(Image& into, const char* name) {
    SDL_Surface* loaded = load_image(name);
    if (!loaded) return;
    into.create_picture(loaded->w, loaded->h);
    SDL_Surface* own = into.picture().surface;
    if (!own) {
        into.set_image(loaded);
        return;
    }
    for (int y = 0; y < loaded->h; ++y)
        std::memcpy(static_cast<Uint8*>(own->pixels) + static_cast<std::ptrdiff_t>(y) * own->pitch,
                    static_cast<const Uint8*>(loaded->pixels) + static_cast<std::ptrdiff_t>(y) * loaded->pitch,
                    static_cast<std::size_t>(loaded->w) * 4);
    SDL_FreeSurface(loaded);
    into.set_flag(Widget::dirty, true);
}

}  // namespace

void build_player_screen() {
    background = new Image();
    load_background(*background, "res/background.png");

    info_box = new Image();
    info_box->create_picture(info_box_width, info_box_height);
    info_box->set_position(396, 17);

    SDL_Surface* skin = load_image("res/buttons.png");

    play_button = new SkinnedButton2();
    play_button->set_position(271, 44);
    play_button->set_skin(skin, 0, 0, 44, 15);

    next_button = new SkinnedButton();
    next_button->set_position(320, 44);
    next_button->set_skin(skin, 176, 0, 27, 15);

    previous_button = new SkinnedButton();
    previous_button->set_position(239, 44);
    previous_button->set_skin(skin, 230, 0, 27, 15);

    position_scale = new SkinnedScale(0x10);
    position_scale->set_position(240, 20);
    position_scale->set_skin(skin, 0, 15, 106, 8, 15);

    star_field = new QuorrelStars();
    for (const char* name : {"res/stars1.png", "res/stars2.png", "res/stars3.png",
                             "res/stars4.png", "res/stars5.png"}) {
        // The star field copies the pixels it needs; the picture itself
        // would only sit in memory for the rest of the run.
        SDL_Surface* stars = load_image(name);
        star_field->add_layer(stars, background->picture());
        SDL_FreeSurface(stars);
    }

    scroller = new Scroller2(&font_big_cyan, 640, scroller_pixels_per_second);
    scroller->set_position(0, 92);

    spectrum_display = new QuorrelSpectrum(background);

    for (Widget* w : std::initializer_list<Widget*>{info_box, play_button, next_button,
                                                    previous_button, position_scale, star_field,
                                                    scroller, spectrum_display})
        add_widget(w);
}

void set_play_state(bool playing) {
    if (play_button) play_button->set_second_face(playing);
}

void toggle_playback() {
    if (is_playing()) {
        pause_playback();
        set_play_state(false);
    } else {
        // The face goes first: a stopped notification raised by the start
        // runs later on its own thread, so its paused face is the one that stays.
        set_play_state(true);
        start_playback();
    }
}

void on_seek() {
    float v = position_scale ? position_scale->drag_value() : 0.0f;
    seek_fraction(v);
    if (position_scale) position_scale->set_value(v);
}

void on_playback_stopped() {
    ScreenLock lock;
    set_play_state(false);
}

void on_track_changed() {
    TrackInfo info;
    current_track_info(info);  // audio_lock is released again on return
    show_track_info(info);
}

std::string length_text(double seconds) {
    // Negative, NaN and absurd lengths (a broken stream) show as 0:00 rather
    // than as the undefined result of converting them to an unsigned count.
    Uint32 s = 0;
    if (seconds >= 0.0 && seconds < 4294967296.0) s = static_cast<Uint32>(seconds);
    std::string text = std::to_string(s / 60) + ":";
    if (s % 60 < 10) text += "0";
    return text + std::to_string(s % 60);
}

void show_track_info(const TrackInfo& info) {
    std::string length = length_text(info.length);
    // The frame thread draws the box and its running cross-fades and reads
    // the scroller text: every change here waits for the frame to finish.
    ScreenLock lock;
    if (info_box) {
        auto fade = std::make_unique<BlendEffect2>(info_box->picture(), *info_box, info_fade_frames);
        font_small_blue.draw_text(fade->new_picture, info.artist, 0, 0);
        font_small_white.draw_text(fade->new_picture, info.title, 0, 16);
        font_small_blue.draw_text(fade->new_picture, length, 0, 48);
        dlib::auto_mutex guard(effect_lock);
        effect_list.push_front(std::move(fade));
    }
    if (scroller) scroller->set_text(info.comment);
}
