// Generated device and configuration files (hostile_files.h) through the library's own checks:
// a valid file is taken, and every spoilt one is refused with one line that names the file, the
// line and column, the key path where it is known, and what is wrong.
#include <windows.h>

#include <cstdio>
#include <fstream>

#include "hostile_files.h"
#include "simvisa_test_support.h"

using namespace simvisa_test;

namespace {

constexpr long long kDeviceCases = 16000;
constexpr long long kConfigurationCases = 6000;

std::string temp_path(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name + std::to_string(GetCurrentProcessId()) + ".json";
}

int lines_in(const std::string& text)
{
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// Checks the refusal of a spoilt file: "file:line:column: [path: ]what".
void check_refusal(const hostile::file_case& c, const std::string& file, ViStatus status,
                   const std::string& message)
{
    EXPECT_STATUS(VI_ERROR_FILE_IO, status) << message;
    ASSERT_EQ(0u, message.find(file + ":")) << message;
    int line = 0, column = 0, used = 0;
    ASSERT_EQ(2, std::sscanf(message.c_str() + file.size(), ":%d:%d: %n", &line, &column, &used))
        << message;
    ASSERT_GT(used, 0) << message;
    EXPECT_GE(line, 1);
    EXPECT_LE(line, lines_in(c.text)) << message;
    EXPECT_GE(column, 1);
    if (c.line) {
        EXPECT_EQ(c.line, line) << message;
        EXPECT_EQ(c.column, column) << message;
    }
    const std::string rest = message.substr(file.size() + static_cast<std::size_t>(used));
    if (c.path_known && !c.path.empty()) {
        EXPECT_EQ(0u, rest.find(c.path + ": ")) << message;
    }
    if (!c.what.empty()) {
        EXPECT_NE(std::string::npos, rest.find(c.what)) << message;
    }
    EXPECT_FALSE(rest.empty());
    EXPECT_GT(1000u, message.size());
    for (char ch : message)
        EXPECT_TRUE(ch >= ' ' && ch <= '~') << "one printable line: " << message;
}

// Runs `cases` generated files through `check`, which returns the status and the message.
template <typename Check>
void run_cases(bool configuration, long long first, long long cases, const std::string& file,
               Check check)
{
    long long valid = 0, refused = 0;
    for (long long n = first; n < first + cases; ++n) {
        if (!fuzz::selected(n))
            continue;
        const hostile::file_case c = hostile::generate_file(n, configuration);
        SCOPED_TRACE(fuzz::label(n) + " (" + c.shape + ")");
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.text;
        std::string message;
        const ViStatus status = check(message);
        if (c.valid) {
            EXPECT_STATUS(VI_SUCCESS, status) << message << "\n" << c.text;
            ++valid;
        } else {
            check_refusal(c, file, status, message);
            ++refused;
        }
        if (::testing::Test::HasFailure()) {
            std::printf("the file was:\n%s\n", c.text.substr(0, 4000).c_str());
            break;
        }
    }
    std::printf("%lld %s files: %lld valid taken, %lld spoilt refused\n", valid + refused,
                configuration ? "configuration" : "device", valid, refused);
}

}  // namespace

TEST(HostileFiles, DeviceFilesAreTakenOrRefusedWithTheirPlace)
{
    const std::string file = temp_path("simvisa_hostile_device");
    run_cases(false, 0, kDeviceCases, file, [&](std::string& message) {
        char text[2048] = "poison";
        const ViStatus status = simvisa_check_device_file(file.c_str(), text, sizeof text);
        message = text;
        return status;
    });
    DeleteFileA(file.c_str());
}

TEST(HostileFiles, ConfigurationFilesAreTakenOrRefusedWithTheirPlace)
{
    const std::string file = temp_path("simvisa_hostile_config");
    run_cases(true, kDeviceCases, kConfigurationCases, file, [&](std::string& message) {
        const ViStatus status = simvisa_load_config(file.c_str());
        char text[2048] = "";
        if (status != VI_SUCCESS)
            simvisa_last_message(text, sizeof text);
        message = text;
        return status;
    });
    DeleteFileA(file.c_str());
    EXPECT_STATUS(VI_SUCCESS, simvisa_load_config(nullptr)) << "back to the shipped configuration";
}
