// Malformed device and configuration files are refused with a message naming file and line.
#include <windows.h>

#include <fstream>

#include "simvisa_test_support.h"

using namespace simvisa_test;

namespace {

std::string temp_file(const char* name, const std::string& content)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string path = std::string(dir) + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

std::string check(const std::string& path, ViStatus& status)
{
    char message[512] = "poison";
    status = simvisa_check_device_file(path.c_str(), message, sizeof message);
    return message;
}

TEST(device_files, malformed_files_are_reported_by_file_and_line)
{
    struct row {
        const char* label;
        const char* content;
        ViStatus status;
        const char* where;
        const char* what;
    } rows[] = {
        {"syntax", "{\n  \"name\": \"x\",\n  \"identity\": oops\n}\n", VI_ERROR_FILE_IO,
         ":3: ", "unexpected character"},
        {"unknown member", "{\n  \"name\": \"x\",\n\n  \"idenity\": \"y\"\n}\n", VI_ERROR_FILE_IO,
         ":4: ", "unknown member \"idenity\""},
        {"bad parity", "{\"name\": \"x\",\n \"line\": {\n  \"parity\": \"often\"}}",
         VI_ERROR_FILE_IO, ":3: ", "parity must be"},
        {"no name", "{\n \"identity\": \"y\"\n}", VI_ERROR_FILE_IO, ":1: ", "needs \"name\""},
        {"unterminated", "{\"name\": \"x", VI_ERROR_FILE_IO, ":1: ", "unterminated string"},
        {"property without default",
         "{\"name\": \"x\", \"properties\": [\n {\"name\": \"p\", \"get\": \"P?\"}]}",
         VI_ERROR_FILE_IO, ":2: ", "needs \"default\""},
        {"good",
         "{\"name\": \"x\", \"dialogues\": [{\"query\": \"A?\", \"response\": \"1\", \"delay_ms\": "
         "5}]}",
         VI_SUCCESS, "", ""},
    };
    for (const auto& r : rows) {
        const std::string path = temp_file("simvisa_device.json", r.content);
        ViStatus status;
        const std::string message = check(path, status);
        EXPECT_STATUS(r.status, status) << r.label;
        if (r.status == VI_SUCCESS) {
            EXPECT_EQ("", message) << r.label;
            continue;
        }
        EXPECT_EQ(0u, message.find(path + r.where)) << r.label << ": " << message;
        EXPECT_NE(std::string::npos, message.find(r.what)) << r.label << ": " << message;
    }
    ViStatus status;
    EXPECT_NE(std::string::npos, check("Z:\\no\\such\\device.json", status).find("cannot open"));
    EXPECT_STATUS(VI_ERROR_FILE_ACCESS, status);
}

TEST(device_files, a_port_with_a_malformed_device_refuses_to_open)
{
    const std::string device = temp_file("simvisa_broken.json", "{\"name\": \"x\",\n \"line\": 5}");
    const std::string config = temp_file(
        "simvisa_config.json",
        "{\"ports\": [{\"number\": 4, \"device\": \"simvisa_broken.json\"},\n {\"number\": 1}]}");
    ASSERT_STATUS(VI_SUCCESS, simvisa_load_config(config.c_str()));
    ViSession rm, vi;
    ASSERT_STATUS(VI_SUCCESS, viOpenDefaultRM(&rm));
    EXPECT_STATUS(VI_ERROR_FILE_IO, viOpen(rm, "ASRL4::INSTR", VI_NULL, 0, &vi));
    char message[512];
    simvisa_last_message(message, sizeof message);
    EXPECT_EQ(0u, std::string(message).find(device + ":2: line must be an object")) << message;
    // Port 1 now has nothing connected: writes vanish and nothing answers.
    ASSERT_STATUS(VI_SUCCESS, viOpen(rm, "ASRL1::INSTR", VI_NULL, 0, &vi));
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 50);
    ViUInt32 n;
    EXPECT_STATUS(VI_SUCCESS, viWrite(vi, reinterpret_cast<ViConstBuf>("*IDN?\n"), 6, &n));
    char buf[16];
    EXPECT_STATUS(VI_ERROR_TMO, viRead(vi, reinterpret_cast<ViPBuf>(buf), sizeof buf, &n));
    viClose(rm);

    const std::string bad = temp_file("simvisa_bad_config.json",
                                      "{\"ports\": [\n {\"number\": 1},\n {\"number\": 1}]}");
    EXPECT_STATUS(VI_ERROR_FILE_IO, simvisa_load_config(bad.c_str()));
    simvisa_last_message(message, sizeof message);
    EXPECT_EQ(0u, std::string(message).find(bad + ":3: port 1 is declared twice")) << message;
    EXPECT_STATUS(VI_SUCCESS, simvisa_load_config(nullptr)) << "back to the shipped configuration";
    for (const auto& f : {device, config, bad})
        DeleteFileA(f.c_str());
}

}  // namespace
