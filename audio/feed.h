// The decoded sound waiting between the engine's decoder and the audio
// callback: two small rings, one of tracks as the decoder opened them (the
// one the callback plays first, then the start of the one after it) and one
// of pieces of sound, each what one decoding step made (at most
// Vorbis::read_ahead_bytes), oldest first. The engine holds audio_lock for
// every call here. The decoder fills the free slot with no lock held, and
// only it writes slots; publishing hands a slot to the callback's side,
// which reads and drops published slots. Dropping or clearing never moves
// the free slot, so a slot being filled is never one the callback reads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct FeedTrack {
    std::uint32_t serial = 0;  // which opening of a track this is
    std::int32_t index = -1;   // playlist entry
    bool opened = false;
    std::string artist;
    std::string title;
    std::string comment;
    double length = 0;      // seconds, as the decoder reports it
    double start_time = 0;  // the decoder's time before its first piece
    std::string lines;      // what opening it printed, said when it plays
    bool seeking = false;   // a seek asked of the decoder is under way
};

struct FeedPiece {
    std::uint32_t serial = 0;  // the track it belongs to
    int size = 0;
    int used = 0;
    double end_time = 0;  // the decoder's time after it
    bool last = false;    // the track's decoding stopped after it
    std::string lines;    // what decoding it printed, said once it is used up
    std::unique_ptr<char[]> bytes;
};

class Feed {
public:
    static constexpr int piece_slots = 4;
    static constexpr int track_slots = 3;

    Feed();

    int pieces() const { return piece_count; }
    FeedPiece& piece(int i) { return piece_ring[(piece_head + i) % piece_slots]; }
    // Valid while pieces() < piece_slots.
    FeedPiece& free_piece() { return piece(piece_count); }
    void publish_piece() { ++piece_count; }
    void drop_piece();
    // Published pieces of the track with this serial.
    int pieces_of(std::uint32_t serial);

    int tracks() const { return track_count; }
    FeedTrack& track(int i) { return track_ring[(track_head + i) % track_slots]; }
    FeedTrack& free_track() { return track(track_count); }
    void publish_track() { ++track_count; }
    void drop_track();

    // Drops every published piece and track.
    void clear();
    void clear_pieces();
    // Keeps only the oldest track.
    void drop_newer_tracks();

private:
    FeedPiece piece_ring[piece_slots];
    FeedTrack track_ring[track_slots];
    int piece_head = 0;
    int piece_count = 0;
    int track_head = 0;
    int track_count = 0;
};
