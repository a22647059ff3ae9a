// Helpers for the tests of the simulation VISA library, which they use through its C API.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "simvisa_control.h"
#include "visa.h"

namespace simvisa_test {

inline std::string hex_status(ViStatus s)
{
    char b[16];
    snprintf(b, sizeof b, "0x%08lX", static_cast<unsigned long>(static_cast<ViUInt32>(s)));
    return b;
}

#define EXPECT_STATUS(expected, call) EXPECT_EQ(hex_status(expected), hex_status(call)) << #call
#define ASSERT_STATUS(expected, call) ASSERT_EQ(hex_status(expected), hex_status(call)) << #call

// A resource manager for each test, closed (with everything opened through it) at the end.
class rm_test : public ::testing::Test {
protected:
    ViSession rm = VI_NULL;

    void SetUp() override
    {
        simvisa_clear_faults();
        ASSERT_STATUS(VI_SUCCESS, viOpenDefaultRM(&rm));
    }
    void TearDown() override
    {
        if (rm)
            viClose(rm);
    }

    ViSession open(const char* name, ViAccessMode mode = VI_NULL, ViUInt32 timeout = 0)
    {
        ViSession vi = VI_NULL;
        EXPECT_STATUS(VI_SUCCESS, viOpen(rm, name, mode, timeout, &vi)) << name;
        return vi;
    }

    // The multimeter on ASRL1 (9600 8N1, LF) and the power supply on ASRL2 (19200 8E1, CR LF).
    ViSession open_dmm() { return open("ASRL1::INSTR"); }
    ViSession open_psu()
    {
        ViSession vi = open("ASRL2::INSTR");
        viSetAttribute(vi, VI_ATTR_ASRL_BAUD, 19200);
        viSetAttribute(vi, VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_EVEN);
        return vi;
    }

    static ViStatus write(ViSession vi, const std::string& text)
    {
        ViUInt32 n = 0;
        return viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()),
                       static_cast<ViUInt32>(text.size()), &n);
    }

    // Reads one response; `status` receives the read's status.
    static std::string read(ViSession vi, ViStatus* status = nullptr, ViUInt32 count = 256)
    {
        std::string buf(count, '\0');
        ViUInt32 n = 0;
        ViStatus st = viRead(vi, reinterpret_cast<ViPBuf>(buf.data()), count, &n);
        if (status)
            *status = st;
        buf.resize(n);
        return buf;
    }

    static std::string query(ViSession vi, const std::string& command)
    {
        if (write(vi, command) < 0)
            return "<write failed>";
        ViStatus st;
        std::string r = read(vi, &st);
        return st < 0 ? "<" + hex_status(st) + ">" : r;
    }

    static void device_sends(ViSession vi, const std::string& bytes, ViUInt32 delay_ms = 0)
    {
        ASSERT_STATUS(
            VI_SUCCESS,
            simvisa_device_send(vi, bytes.data(), static_cast<ViUInt32>(bytes.size()), delay_ms));
    }

    template <class T>
    static T attr(ViSession vi, ViAttr id)
    {
        T v{};
        EXPECT_STATUS(VI_SUCCESS, viGetAttribute(vi, id, &v));
        return v;
    }
};

}  // namespace simvisa_test
