// EventQueue: the bounded queue of the session's event state.
#include <gtest/gtest.h>

#include "events/event_queue.h"

namespace {

struct record {
    std::uint32_t type;
    int tag;
};

}  // namespace

TEST(EventQueue, FullQueueDropsNewRecordsAndKeepsHeldOnes)
{
    mrv::EventQueue<record> q;
    EXPECT_EQ(1000u, q.maximum());
    q.set_maximum(2);
    q.push({7, 1});
    q.push({8, 2});
    q.push({7, 3});  // lost
    EXPECT_TRUE(q.is_full());
    EXPECT_EQ(2u, q.size());

    // Lowering the maximum keeps what is held; nothing enters until the count falls below it.
    q.set_maximum(1);
    EXPECT_EQ(2u, q.size());
    q.take_first(8);
    q.push({9, 4});
    EXPECT_FALSE(q.contains(9));

    q.set_maximum(0);
    q.clear();
    q.push({7, 5});
    EXPECT_EQ(0u, q.size());
}

TEST(EventQueue, TakesOldestOfATypeAndRemovesByType)
{
    mrv::EventQueue<record> q;
    q.push({7, 1});
    q.push({8, 2});
    q.push({7, 3});
    auto first = q.take_first(7);
    ASSERT_TRUE(first);
    EXPECT_EQ(1, first->tag);
    EXPECT_FALSE(q.take_first(9));

    EXPECT_TRUE(q.remove_all(8));
    EXPECT_FALSE(q.remove_all(8));
    EXPECT_TRUE(q.contains(7));
    EXPECT_EQ(3, q.take_first(7)->tag);
    EXPECT_EQ(0u, q.size());
}
