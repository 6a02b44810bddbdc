// The player screen: built once at start-up, drawn from the end of the intro
// on. Holds the widget handles and the glue between the widgets and the audio
// side: the actions of the buttons and the scale, and the handlers of the
// track-changed and playback-stopped notifications.
#pragma once

#include "audio/engine.h"

#include <string>

class Image;
class SkinnedButton;
class SkinnedButton2;
class SkinnedScale;
class QuorrelStars;
class Scroller2;
class QuorrelSpectrum;

// Created by build_player_screen and never deleted; null before it runs.
extern Image* background;  // held apart from the widget list
extern Image* info_box;
extern SkinnedButton2* play_button;
extern SkinnedButton* next_button;
extern SkinnedButton* previous_button;
extern SkinnedScale* position_scale;
extern QuorrelStars* star_field;
extern Scroller2* scroller;
extern QuorrelSpectrum* spectrum_display;

// Main thread, once, after the canvas and the fonts exist.
void build_player_screen();

// The play/pause action: pauses when playing, else starts. The face shows
// the request; a stopped notification that follows corrects it.
void toggle_playback();
// Shows the playing face (second pair) or the paused one.
void set_play_state(bool playing);
// The scale's action: seeks to where the knob was released.
void on_seek();

// Notification handlers; each runs on a thread of its own and takes the
// screen lock for the widget changes.
void on_track_changed();
void on_playback_stopped();

// Cross-fades the info box to the track's artist, title and length over 30
// frames and hands the comment to the scroller. Takes the screen lock.
void show_track_info(const TrackInfo& info);
// "m:ss" of the whole seconds of a length; no hours field (3725 s: "62:05").
std::string length_text(double seconds);
