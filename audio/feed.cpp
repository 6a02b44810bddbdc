#include "audio/feed.h"

#include "audio/vorbis.h"

#include <cassert>

Feed::Feed() {
    for (FeedPiece& slot : piece_ring)
        slot.bytes.reset(new char[Vorbis::read_ahead_bytes]);
}

void Feed::drop_piece() {
    assert(piece_count > 0);
    piece_head = (piece_head + 1) % piece_slots;
    --piece_count;
}

int Feed::pieces_of(std::uint32_t serial) {
    int count = 0;
    for (int i = 0; i < piece_count; ++i)
        count += piece(i).serial == serial;
    return count;
}

void Feed::drop_track() {
    assert(track_count > 0);
    track_head = (track_head + 1) % track_slots;
    --track_count;
}

void Feed::clear() {
    clear_pieces();
    track_head = (track_head + track_count) % track_slots;
    track_count = 0;
}

void Feed::clear_pieces() {
    piece_head = (piece_head + piece_count) % piece_slots;
    piece_count = 0;
}

void Feed::drop_newer_tracks() {
    if (track_count > 1)
        track_count = 1;
}
