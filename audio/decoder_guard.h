// Contains one kind of crash inside the Vorbis library: a stream whose setup
// header passes the library's checks yet sizes a decoding step as zero makes
// it divide an integer by zero (SIGFPE) while decoding sound, at once for
// every player that plays it. Such a division stops before the library has
// written anything, so the call can be abandoned and the stream dropped.
// Nothing else is caught: a fault of any other kind still ends the process.
#pragma once

// Runs call(context); false when it raised SIGFPE, in which case it was cut
// short where it stood. Safe on any thread; calls may not nest.
bool run_guarded(void (*call)(void*), void* context);

template <class Call>
bool guarded(Call&& call) {
    return run_guarded([](void* context) { (*static_cast<Call*>(context))(); }, &call);
}
