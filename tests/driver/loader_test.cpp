// Which VISA library a driver loads, and what it does when a library or an entry is missing. The
// standard library alone is what every session test loads.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "driver_test_support.h"
#include "driver/entry_points.h"
#include "errors/visa_error.h"
#include "servers/rs232/mvrs232_driver.h"

using namespace driver_test;
using mrv::mvrs232_driver;
namespace visa = mrv::visa;

namespace {

// The module that holds the code at `address`.
HMODULE module_of(visa::raw_entry address)
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(address), &module);
    return module;
}

}  // namespace

TEST(Loader, WithoutAnyLibraryReportsFailure)
{
    mvrs232_driver driver;
    EXPECT_FALSE(driver.load_library(nullptr));
    EXPECT_EQ(nullptr, driver.library());
    // A driver without a library calls nothing that is not there.
    EXPECT_EQ(VI_ERROR_NIMPL_OPER,
              raised_status([&] { driver.open("ASRL1::INSTR", 0, 0, nullptr); }));
    EXPECT_EQ(VI_ERROR_NIMPL_OPER, raised_status([&] { driver.viClear(); }));
    EXPECT_FALSE(driver.is_open());
}

TEST(Loader, PrefersTheFirstChoiceLibrary)
{
    standard_library_findable findable;
    library_next_to_test first(bin_file("visa32.dll"), "mvvisa32.dll");
    {
        mvrs232_driver driver;
        ASSERT_TRUE(driver.load_library(nullptr));
        EXPECT_EQ("mvvisa32.dll", base_name(module_path(driver.library())));
    }
    EXPECT_EQ(nullptr, GetModuleHandleA("mvvisa32.dll")) << "the driver's unload frees the library";
}

TEST(Loader, FirstChoiceWithoutARequiredEntryFallsBackAndIsUnloaded)
{
    standard_library_findable findable;
    library_next_to_test first(bin_file("variants/no_required/visa32.dll"), "mvvisa32.dll");
    mvrs232_driver driver;
    ASSERT_TRUE(driver.load_library(nullptr));
    EXPECT_EQ("visa32.dll", base_name(module_path(driver.library())));
    EXPECT_EQ(nullptr, GetModuleHandleA("mvvisa32.dll"));
    // Nothing of the dropped library is left in the process-wide entries.
    for (auto e : {visa::entry::viClose, visa::entry::viSetAttribute, visa::entry::viGetAttribute,
                   visa::entry::viStatusDesc})
        EXPECT_EQ(driver.library(), module_of(visa::process_entry_raw(e)))
            << visa::entries[visa::index_of(e)].name;
}

TEST(Loader, AGivenPathHasNoFallback)
{
    standard_library_findable findable;
    const std::string path = bin_file("variants/no_required/visa32.dll");
    mvrs232_driver driver;
    EXPECT_FALSE(driver.load_library(path.c_str()));
    EXPECT_EQ(nullptr, driver.library());
    EXPECT_EQ(nullptr, GetModuleHandleA("visa32.dll")) << "the library is unloaded again";
    EXPECT_FALSE(driver.load_library(bin_file("no such library.dll").c_str()));
}

TEST(Loader, MissingOptionalEntriesAnswerNotImplemented)
{
    const std::string path = bin_file("variants/no_optional/visa32.dll");
    mvrs232_driver driver;
    ASSERT_TRUE(driver.load_library(path.c_str()));
    std::string windows_path = path;
    std::replace(windows_path.begin(), windows_path.end(), '/', '\\');
    EXPECT_EQ(windows_path, module_path(driver.library()));

    ViUInt16 count = 0;
    unsigned char buffer[4];
    try {
        driver.viUsbControlIn(0, 0, 0, 0, sizeof buffer, buffer, &count);
        ADD_FAILURE() << "viUsbControlIn returned";
    } catch (const mrv::visa_error& e) {
        EXPECT_EQ(VI_ERROR_NIMPL_OPER, e.status());
    }
    ViUInt16 type = 0, number = 0;
    mrv::_bstr_t resource_class, expanded, alias;
    try {
        driver.parse_resource_ex(mrv::_bstr_t("ASRL1::INSTR"), &type, &number, resource_class,
                                 expanded, alias);
        ADD_FAILURE() << "parse_resource_ex returned";
    } catch (const mrv::visa_error& e) {
        EXPECT_EQ(VI_ERROR_NIMPL_OPER, e.status());
    }
    // Entries the library does have still reach it.
    try {
        driver.viUsbControlOut(0, 0, 0, 0, 0, nullptr);
    } catch (const mrv::visa_error& e) {
        EXPECT_NE(VI_ERROR_NIMPL_OPER, e.status());
    }
}
