// A driver's session through the simulation library: the open and closed states, what the
// forwarders and typed operations hand to VISA, and which statuses become visa_error.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "driver_test_support.h"
#include "driver/entry_points.h"
#include "errors/visa_error.h"
#include "servers/rs232/mvrs232_driver.h"

using namespace driver_test;
using mrv::mvrs232_driver;
using mrv::visa_error;

namespace {

constexpr ViStatus warn_nsup_attr_state = static_cast<ViStatus>(0x3FFF0084);

// The library's own text for a status, asked on `session`.
std::string library_text(ViSession session, ViStatus status)
{
    char text[256] = {};
    mrv::visa::process_viStatusDesc(session, status, text);
    return text;
}

class DriverSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(driver->load_library(nullptr));
        control = std::make_unique<simulation_control>(driver->library());
    }
    void open() { driver->open("ASRL1::INSTR", VI_NULL, 0, nullptr); }
    bool logged(const std::string& line) const
    {
        return control->log().find(line + "\n") != std::string::npos;
    }
    std::string session_arg() const { return "vi=" + std::to_string(driver->session()); }

    standard_library_findable findable;
    std::unique_ptr<mvrs232_driver> driver = std::make_unique<mvrs232_driver>();
    std::unique_ptr<simulation_control> control;
};

}  // namespace

TEST_F(DriverSession, OpenAndCloseMoveThroughNewOpenClosed)
{
    EXPECT_FALSE(driver->is_open());
    EXPECT_FALSE(driver->is_closed());
    ViStatus status = -1;
    EXPECT_EQ(VI_SUCCESS, driver->open("ASRL1::INSTR", VI_NULL, 0, &status));
    EXPECT_EQ(VI_SUCCESS, status);
    EXPECT_TRUE(driver->is_open());
    EXPECT_NE(0u, driver->session());
    EXPECT_THROW(open(), std::logic_error);
    EXPECT_THROW(driver->open_default_rm(), std::logic_error);

    const ViSession session = driver->session(), rm = driver->default_rm();
    control->clear_log();
    EXPECT_EQ(VI_SUCCESS, driver->close());
    EXPECT_TRUE(logged("viClose(vi=" + std::to_string(session) + ")"));
    EXPECT_TRUE(logged("viClose(vi=" + std::to_string(rm) + ")"));
    EXPECT_FALSE(driver->is_open());
    EXPECT_TRUE(driver->is_closed());
    EXPECT_EQ(0u, driver->session());
    EXPECT_EQ(0u, driver->default_rm());
    try {
        driver->close();
        ADD_FAILURE() << "a second close returned";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ("No session open.", e.what());
    }
}

TEST_F(DriverSession, FailingCloseStillClosesAndTheDestructorSwallowsIt)
{
    open();
    control->fail_next("viClose", VI_ERROR_CLOSING_FAILED);
    try {
        driver->close();
        ADD_FAILURE() << "close returned";
    } catch (const visa_error& e) {
        EXPECT_EQ(VI_ERROR_CLOSING_FAILED, e.status());
        EXPECT_STREQ("Could not open the specified resource.", e.what());
    }
    EXPECT_FALSE(driver->is_open());
    EXPECT_TRUE(driver->is_closed());

    auto second = std::make_unique<mvrs232_driver>();
    ASSERT_TRUE(second->load_library(nullptr));
    second->open("ASRL2::INSTR", 0, 0, nullptr);
    control->fail_next("viClose", VI_ERROR_CLOSING_FAILED);
    EXPECT_NO_THROW(second.reset());
}

TEST_F(DriverSession, DestructionClosesWhatTheDriverOpened)
{
    // The fixture's driver keeps the library loaded while the others come and go.
    const ViUInt32 before = control->open_objects();
    {
        mvrs232_driver opened;
        ASSERT_TRUE(opened.load_library(nullptr));
        opened.open("ASRL2::INSTR", 0, 0, nullptr);
        EXPECT_EQ(before + 2, control->open_objects());
    }
    EXPECT_EQ(before, control->open_objects());
    {
        mvrs232_driver failed;
        ASSERT_TRUE(failed.load_library(nullptr));
        raised_status([&] { failed.open("ASRL99::INSTR", 0, 0, nullptr); });
        EXPECT_EQ(before + 1, control->open_objects()) << "the resource manager stays open";
    }
    EXPECT_EQ(before, control->open_objects());
}

TEST_F(DriverSession, ResourceManagerOperations)
{
    ViFindList list = 0;
    ViUInt32 count = 0;
    char found[256] = {};
    EXPECT_EQ(VI_SUCCESS, driver->find_resources("ASRL?*INSTR", &list, &count, found));
    EXPECT_NE(0u, driver->default_rm()) << "finding opens the resource manager first";
    EXPECT_EQ(3u, count);
    EXPECT_STREQ("ASRL1::INSTR", found);
    EXPECT_EQ(VI_SUCCESS, driver->find_next(list, found));
    EXPECT_STREQ("ASRL2::INSTR", found);
    mrv::visa::process_viClose(list);

    ViUInt16 type = 0, number = 0;
    EXPECT_EQ(VI_SUCCESS, driver->parse_resource(mrv::_bstr_t(L"ASRL2::INSTR"), &type, &number));
    EXPECT_EQ(VI_INTF_ASRL, type);
    EXPECT_EQ(2, number);
    mrv::_bstr_t resource_class, expanded, alias;
    EXPECT_EQ(VI_SUCCESS, driver->parse_resource_ex(mrv::_bstr_t(L"asrl3"), &type, &number,
                                                    resource_class, expanded, alias));
    EXPECT_STREQ("INSTR", resource_class.narrow());
    EXPECT_STREQ("ASRL3::INSTR", expanded.narrow());
    EXPECT_STREQ("COM3", alias.narrow());

    // Their failures are described by the library on the resource manager session.
    try {
        driver->parse_resource(mrv::_bstr_t(L"GPIB::nonsense"), &type, &number);
        ADD_FAILURE() << "parse_resource returned";
    } catch (const visa_error& e) {
        EXPECT_LT(e.status(), 0);
        EXPECT_EQ(library_text(driver->default_rm(), e.status()), e.what());
    }
}

TEST_F(DriverSession, StatusDescriptionBeforeOpenIsTheOpenFailureText)
{
    char text[256] = "unchanged";
    driver->status_description(VI_ERROR_TMO, text);
    EXPECT_STREQ("Could not open the specified resource.", text);
}

TEST_F(DriverSession, ErrorsOfTheSessionCarryTheLibrarysText)
{
    open();
    control->fail_next("viRead", VI_ERROR_TMO);
    unsigned char buffer[8];
    ViUInt32 count = 0;
    try {
        driver->viRead(buffer, sizeof buffer, &count);
        ADD_FAILURE() << "viRead returned";
    } catch (const visa_error& e) {
        EXPECT_EQ(VI_ERROR_TMO, e.status());
        EXPECT_EQ(library_text(driver->session(), VI_ERROR_TMO), e.what());
        EXPECT_NE("", std::string(e.what()));
    }
    // Without a driver, visa_error asks the library that was loaded last.
    EXPECT_EQ(library_text(driver->default_rm(), VI_ERROR_RSRC_NFOUND),
              visa_error(VI_ERROR_RSRC_NFOUND, driver->default_rm()).what());
}

// The forwarders that return a status are seen through the session's tests; this one has none.
TEST_F(DriverSession, AForwarderWithoutAStatusPassesTheSessionAndRaisesNothing)
{
    open();
    control->clear_log();
    ViUInt8 value = 0;
    driver->viPeek8(nullptr, &value);
    EXPECT_NE(std::string::npos, control->log().find("viPeek8(" + session_arg())) << control->log();
}

TEST_F(DriverSession, AttributeReadsRaiseOnWarnings)
{
    open();
    control->fail_next("viGetAttribute", warn_nsup_attr_state);
    EXPECT_EQ(warn_nsup_attr_state, raised_status([&] { driver->get_timeout(); }));
    EXPECT_EQ(1, driver->get_interface_number());
}
