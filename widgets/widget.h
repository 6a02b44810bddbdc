// Widget: the base of every element of the player screen, a rectangle on the
// 640 x 400 canvas with a word of state flags and an optional action. The
// screen builds the widgets once and keeps them in one ordered, non-owning
// list; the event loop runs pointer_dispatch and click_pass over it, the frame
// thread runs tick_pass once per rendered frame.
//
// Widgets take no locks. The caller serialises every pass and every change a
// notification makes with rendering (the app holds the screen lock around
// them); the flag word is atomic on top of that so that no set or clear of
// one bit can drop a bit another thread set at the same moment.
#pragma once

#include <SDL.h>

#include <atomic>
#include <vector>

class Graphics;
class Image;

// Forbids copying; the widgets live at fixed addresses in the widget list.
class Noncopyable {
protected:
    Noncopyable() = default;
    ~Noncopyable() = default;

public:
    Noncopyable(const Noncopyable&) = delete;
    Noncopyable& operator=(const Noncopyable&) = delete;
};

class Widget : private Noncopyable {
public:
    enum Flag : int { pressed = 0x1, clickable = 0x2, dirty = 0x4, second_face = 0x8,
                      interactive = 0x40, hover = 0x80, redraw_all = 0x100 };
    // A function without arguments fired by a release over the widget.
    using Action = void (*)();

    // No action, rect (0, 0, 0, 0), flags clickable | dirty.
    Widget();
    virtual ~Widget();

    // Stores x and y (16-bit) in rect and sets dirty.
    virtual void set_position(int x, int y);
    // Stores w and h (16-bit) in rect and sets dirty.
    virtual void set_size(int w, int h);
    virtual void draw(Graphics& target) = 0;
    // Advances the widget's animation by one tick.
    virtual void update() {}
    // Pointer over the widget; x and y are relative to rect's top-left corner.
    virtual void on_mouse(int x, int y, bool is_pressed) { (void)x; (void)y; (void)is_pressed; }

    // True if any bit of mask is set.
    bool test_flag(int mask) const { return (flags.load() & mask) != 0; }
    void set_flag(int mask, bool on) { if (on) flags.fetch_or(mask); else flags.fetch_and(~mask); }
    // The hit test: the left column and the top row of rect count as outside.
    bool contains(int x, int y) const;
    // Calls action when there is one.
    void fire_action();

    std::atomic<Action> action;
    std::atomic<int> flags;
    SDL_Rect rect;
};

// One pointer event at screen point (x, y) with button state is_pressed:
// updates hover and pressed of every interactive widget under the point and
// hands it the event. A widget the pointer left keeps its pressed bit.
void pointer_dispatch(const std::vector<Widget*>& widgets, int x, int y, bool is_pressed);
// After a release at (x, y): fires the action of every interactive, clickable
// widget under the point, wherever the press began.
void click_pass(const std::vector<Widget*>& widgets, int x, int y);
// One screen tick: updates every widget, restores the background under the
// dirty ones (or redraws it whole), then draws the dirty widgets onto canvas.
void tick_pass(const std::vector<Widget*>& widgets, Image& background, Graphics& canvas);
