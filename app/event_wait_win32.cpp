#include "app/event_wait.h"

#include <SDL_syswm.h>

#include <windows.h>

#include <atomic>

// The Windows side of the event wait: the main thread sleeps until a
// message reaches its queue (the window's input) or another thread signals
// the wake event, at most longest_sleep_ms at a time. A held key repeats as
// presses alone there, so no settling pause is needed as with X11.
namespace {

constexpr DWORD longest_sleep_ms = 100;

// Created once and never closed: a thread still finishing a push during
// shutdown must never signal a closed, perhaps reused handle.
std::atomic<HANDLE> wake_signal{nullptr};
bool set_up = false;

void set_up_waiting() {
    set_up = true;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    // Only a window of SDL's own Windows drivers delivers its input as
    // messages to this thread; other drivers keep SDL_WaitEvent.
    if (SDL_GetWMInfo(&info) != 1 || info.window == nullptr) return;
    wake_signal.store(CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

}  // namespace

int wait_for_event(SDL_Event* event) {
    if (!set_up) set_up_waiting();
    const HANDLE wake = wake_signal.load();
    if (wake == nullptr) return SDL_WaitEvent(event);
    for (;;) {
        SDL_PumpEvents();
        const int taken = SDL_PeepEvents(event, 1, SDL_GETEVENT, SDL_ALLEVENTS);
        if (taken < 0) return 0;
        if (taken > 0) return 1;
        // MWMO_INPUTAVAILABLE: also messages that were already queued but
        // left unread, not only those that arrive from now on.
        if (MsgWaitForMultipleObjectsEx(1, &wake, longest_sleep_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
            WAIT_FAILED) {
            SDL_SetError("MsgWaitForMultipleObjectsEx: error %lu", GetLastError());
            return 0;
        }
    }
}

void wake_event_wait() {
    if (const HANDLE wake = wake_signal.load()) SetEvent(wake);
}
