#include "audio/feed.h"

#include <gtest/gtest.h>

// The decoder fills the free slot with no lock held while the callback drops
// and clears published ones: whatever the callback does, the slot being
// filled must never be one it reads, and publishing it must make it the
// newest, in order.
TEST(feed, the_free_slot_stays_put_while_published_slots_are_dropped_or_cleared) {
    enum Action { drop, clear, none };
    Feed feed;
    std::uint32_t serial = 0;
    std::uint32_t oldest = 1;
    // Round and round the ring, with every way the callback can empty it.
    const Action script[] = {none, drop, none, none, drop, clear, none, none, none, drop, drop, drop, none, clear};
    for (int round = 0; round < 3; ++round) {
        for (Action action : script) {
            ASSERT_LT(feed.pieces(), Feed::piece_slots);
            FeedPiece& filling = feed.free_piece();
            filling.serial = ++serial;
            if (action == drop && feed.pieces() > 0) {
                feed.drop_piece();
                ++oldest;
            } else if (action == clear) {
                feed.clear();
                oldest = serial;
            }
            EXPECT_EQ(&feed.free_piece(), &filling);
            for (int i = 0; i < feed.pieces(); ++i)
                EXPECT_NE(&feed.piece(i), &filling);
            feed.publish_piece();
            EXPECT_EQ(feed.piece(feed.pieces() - 1).serial, serial);
            EXPECT_EQ(feed.piece(0).serial, oldest);
            EXPECT_EQ(feed.pieces_of(serial), 1);
            if (feed.pieces() == Feed::piece_slots) {
                feed.drop_piece();
                ++oldest;
            }
        }
    }
}

TEST(feed, a_seek_keeps_the_playing_track_and_drops_the_one_opened_after_it) {
    Feed feed;
    for (std::uint32_t serial : {7u, 8u}) {
        feed.free_track().serial = serial;
        feed.publish_track();
    }
    feed.drop_newer_tracks();
    ASSERT_EQ(feed.tracks(), 1);
    EXPECT_EQ(feed.track(0).serial, 7u);
    // The dropped record's slot is the free one again, not the playing one.
    EXPECT_NE(&feed.free_track(), &feed.track(0));
}
