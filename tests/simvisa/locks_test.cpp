// Exclusive and shared locks across the sessions of the process: nesting, keys, time-outs,
// and what a lock forbids other sessions.
#include <chrono>
#include <thread>

#include "simvisa_test_support.h"

using namespace simvisa_test;
using namespace std::chrono;

namespace {

class locks : public rm_test {};

TEST_F(locks, an_exclusive_lock_stops_other_sessions_io_and_global_sets)
{
    ViSession a = open_dmm(), b = open_dmm();
    ASSERT_STATUS(VI_SUCCESS, viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL));
    EXPECT_STATUS(VI_ERROR_RSRC_LOCKED, write(b, "*IDN?\n"));
    ViStatus st;
    read(b, &st);
    EXPECT_STATUS(VI_ERROR_RSRC_LOCKED, st);
    EXPECT_STATUS(VI_ERROR_RSRC_LOCKED, viSetAttribute(b, VI_ATTR_ASRL_BAUD, 19200));
    EXPECT_STATUS(VI_ERROR_RSRC_LOCKED, viFlush(b, VI_IO_IN_BUF));
    EXPECT_STATUS(VI_SUCCESS, viSetAttribute(b, VI_ATTR_TMO_VALUE, 100))
        << "local attributes stay free";
    EXPECT_EQ(static_cast<ViAccessMode>(VI_EXCLUSIVE_LOCK),
              attr<ViAccessMode>(b, VI_ATTR_RSRC_LOCK_STATE));
    EXPECT_EQ("SIMVISA,DMM-6500,SN100200,1.02\n", query(a, "*IDN?\n"));

    EXPECT_STATUS(VI_SUCCESS_NESTED_EXCLUSIVE, viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL));
    EXPECT_STATUS(VI_SUCCESS_NESTED_EXCLUSIVE, viUnlock(a));
    EXPECT_STATUS(VI_SUCCESS, viUnlock(a));
    EXPECT_STATUS(VI_ERROR_SESN_NLOCKED, viUnlock(a));
    EXPECT_EQ(static_cast<ViAccessMode>(VI_NO_LOCK),
              attr<ViAccessMode>(b, VI_ATTR_RSRC_LOCK_STATE));
    EXPECT_STATUS(VI_SUCCESS, write(b, "*CLS\n"));
    EXPECT_STATUS(VI_ERROR_INV_LOCK_TYPE, viLock(a, VI_NO_LOCK, 0, VI_NULL, VI_NULL));
    EXPECT_STATUS(VI_ERROR_INV_LOCK_TYPE, viLock(a, VI_LOAD_CONFIG, 0, VI_NULL, VI_NULL));
}

TEST_F(locks, a_conflicting_lock_waits_for_its_time_out)
{
    ViSession a = open_dmm(), b = open_dmm();
    ASSERT_STATUS(VI_SUCCESS, viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL));
    auto start = steady_clock::now();
    EXPECT_STATUS(VI_ERROR_TMO, viLock(b, VI_EXCLUSIVE_LOCK, 200, VI_NULL, VI_NULL));
    EXPECT_GE(steady_clock::now() - start, milliseconds(180));

    std::thread release([&] {
        std::this_thread::sleep_for(milliseconds(150));
        viUnlock(a);
    });
    start = steady_clock::now();
    EXPECT_STATUS(VI_SUCCESS, viLock(b, VI_EXCLUSIVE_LOCK, 5000, VI_NULL, VI_NULL));
    EXPECT_LT(steady_clock::now() - start, milliseconds(3000));
    release.join();
    // Closing a session releases its locks.
    EXPECT_STATUS(VI_SUCCESS, viClose(b));
    EXPECT_STATUS(VI_SUCCESS, viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL));
}

TEST_F(locks, shared_locks_are_joined_with_their_key)
{
    ViSession a = open_dmm(), b = open_dmm(), c = open_dmm();
    char key[256] = "";
    ASSERT_STATUS(VI_SUCCESS, viLock(a, VI_SHARED_LOCK, 0, "bench-7", key));
    EXPECT_STREQ("bench-7", key);
    EXPECT_STATUS(VI_SUCCESS, viLock(b, VI_SHARED_LOCK, 0, "bench-7", key));
    EXPECT_STATUS(VI_ERROR_INV_ACCESS_KEY, viLock(c, VI_SHARED_LOCK, 0, "other", key));
    EXPECT_STATUS(VI_ERROR_TMO, viLock(c, VI_SHARED_LOCK, 0, VI_NULL, key));
    EXPECT_STATUS(VI_ERROR_RSRC_LOCKED, write(c, "*CLS\n")) << "a shared lock not joined";
    EXPECT_STATUS(VI_SUCCESS, write(b, "*CLS\n"));
    EXPECT_STATUS(VI_SUCCESS_NESTED_SHARED, viLock(a, VI_SHARED_LOCK, 0, VI_NULL, key));
    // A holder of the shared lock may take it exclusively.
    EXPECT_STATUS(VI_SUCCESS, viLock(b, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL));
    EXPECT_STATUS(VI_ERROR_RSRC_LOCKED, write(a, "*CLS\n"));
    EXPECT_STATUS(VI_SUCCESS_NESTED_SHARED, viUnlock(b)) << "the exclusive one goes first";
    EXPECT_STATUS(VI_SUCCESS, viUnlock(b));
    EXPECT_STATUS(VI_SUCCESS_NESTED_SHARED, viUnlock(a));
    EXPECT_STATUS(VI_SUCCESS, viUnlock(a));
    key[0] = '\0';
    EXPECT_STATUS(VI_SUCCESS, viLock(c, VI_SHARED_LOCK, 0, VI_NULL, key));
    EXPECT_GT(strlen(key), 0u) << "a key is generated";
}

TEST_F(locks, open_can_take_an_exclusive_lock)
{
    ViSession a = open("ASRL1::INSTR", VI_EXCLUSIVE_LOCK);
    EXPECT_EQ(static_cast<ViAccessMode>(VI_EXCLUSIVE_LOCK),
              attr<ViAccessMode>(a, VI_ATTR_RSRC_LOCK_STATE));
    ViSession b = VI_NULL;
    EXPECT_STATUS(VI_ERROR_RSRC_LOCKED, viOpen(rm, "ASRL1::INSTR", VI_EXCLUSIVE_LOCK, 0, &b));
    EXPECT_STATUS(VI_ERROR_TMO, viOpen(rm, "ASRL1::INSTR", VI_EXCLUSIVE_LOCK, 100, &b));
    EXPECT_EQ(VI_NULL, b);
    b = open("ASRL1::INSTR");
    EXPECT_STATUS(VI_ERROR_RSRC_LOCKED, write(b, "*CLS\n"));
}

}  // namespace
