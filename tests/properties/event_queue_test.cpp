// EventQueue: the bounded queue of the session's event state. Its bound is the event test's
// (event_mechanisms), through the session's maximum queue length.
#include <gtest/gtest.h>

#include "events/event_queue.h"

namespace {

struct record {
    std::uint32_t type;
    int tag;
};

}  // namespace

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
