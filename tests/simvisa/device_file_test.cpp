// Malformed device and configuration files are refused with a message naming the file, the line
// and column, and the key path of the value concerned.
#include <windows.h>

#include <fstream>
#include <thread>

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

TEST(device_files, malformed_files_are_reported_by_file_line_column_and_key_path)
{
    struct row {
        const char* label;
        std::string content;
        ViStatus status;
        const char* message;  // after the file's name
    } rows[] = {
        {"syntax", "{\n  \"name\": \"x\",\n  \"identity\": oops\n}\n", VI_ERROR_FILE_IO,
         ":3:15: identity: unexpected character 'o'"},
        {"unknown member", "{\n  \"name\": \"x\",\n\n  \"idenity\": \"y\"\n}\n", VI_ERROR_FILE_IO,
         ":4:14: idenity: unknown member \"idenity\" in the device description"},
        {"bad parity", "{\"name\": \"x\",\n \"line\": {\n  \"parity\": \"often\"}}",
         VI_ERROR_FILE_IO, ":3:13: line.parity: parity must be none, odd, even, mark or space"},
        {"no name", "{\n \"identity\": \"y\"\n}", VI_ERROR_FILE_IO,
         ":1:1: the device description needs \"name\""},
        {"unterminated", "{\"name\": \"x", VI_ERROR_FILE_IO, ":1:12: name: unterminated string"},
        {"property without default",
         "{\"name\": \"x\", \"properties\": [\n {\"name\": \"p\", \"get\": \"P?\"}]}",
         VI_ERROR_FILE_IO, ":2:2: properties[0]: a property needs \"default\""},
        {"default not a choice",
         "{\"name\": \"x\", \"properties\": [{\"name\": \"p\", \"get\": \"P?\",\n \"choices\": "
         "[\"A\"], \"default\": \"B\"}]}",
         VI_ERROR_FILE_IO, ":2:31: properties[0].default: default \"B\" is not one of the choices"},
        {"min above max",
         "{\"name\": \"x\", \"properties\": [{\"name\": \"p\", \"get\": \"P?\", \"type\": "
         "\"real\",\n"
         " \"min\": 5, \"max\": 1, \"default\": 3}]}",
         VI_ERROR_FILE_IO, ":2:9: properties[0].min: min must not be above max"},
        {"number too large", "{\"name\": \"x\", \"line\": {\"baud\": 1e400}}", VI_ERROR_FILE_IO,
         ":1:32: line.baud: number out of range"},
        {"not UTF-8", "{\"name\": \"\xCE\xA9x\xE9t\"}", VI_ERROR_FILE_IO,
         ":1:13: name: invalid UTF-8 (byte 0xE9)"},
        {"UTF-16", std::string("\xFF\xFE{\0}\0", 6), VI_ERROR_FILE_IO,
         ":1:1: the file is UTF-16; it must be UTF-8"},
        {"NUL", std::string("{\"name\": \"x\",\0}", 15), VI_ERROR_FILE_IO,
         ":1:14: expected a member name in double quotes"},
        {"control character in a key", "{\"name\": \"x\", \"a\tb\": 1}", VI_ERROR_FILE_IO,
         ":1:22: [\"a\\x09b\"]: unknown member \"a\\x09b\" in the device description"},
        {"nesting", "{\"name\": \"x\", \"line\": " + std::string(100, '[') + "}", VI_ERROR_FILE_IO,
         ""},
        {"good with a byte order mark",
         "\xEF\xBB\xBF{\"name\": \"\xCE\xA9\", \"dialogues\": [{\"query\": \"A?\", \"response\": "
         "\"1\", \"delay_ms\": 5}]}",
         VI_SUCCESS, ""},
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
        if (*r.message)
            EXPECT_EQ(path + r.message, message) << r.label;
        else
            EXPECT_NE(std::string::npos, message.find(": nesting too deep")) << message;
    }
    ViStatus status;
    EXPECT_NE(std::string::npos, check("Z:\\no\\such\\device.json", status).find("cannot open"));
    EXPECT_STATUS(VI_ERROR_FILE_ACCESS, status);
    const std::string huge = temp_file("simvisa_huge.json", "[" + std::string(1 << 20, '0') + "]");
    EXPECT_EQ(huge + ": the device file is larger than 1 MiB", check(huge, status));
    EXPECT_STATUS(VI_ERROR_FILE_ACCESS, status);
    DeleteFileA(huge.c_str());
}

TEST(device_files, a_pipe_or_a_device_named_as_a_device_file_is_refused_without_reading)
{
    // Read like a file, the name of a pipe whose server sends nothing kept the read waiting until
    // the server hung up; simulation mode takes device file names from another process.
    const std::string pipe =
        "\\\\.\\pipe\\simvisa_not_a_file_" + std::to_string(GetCurrentProcessId());
    HANDLE server =
        CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, server);
    ViStatus status = VI_SUCCESS;
    std::string message;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread reader([&] {
        message = check(pipe, status);
        SetEvent(done);
    });
    const DWORD waited = WaitForSingleObject(done, 10000);
    CloseHandle(server);  // ends a read that waits for the pipe
    reader.join();
    CloseHandle(done);
    EXPECT_EQ(WAIT_OBJECT_0, waited) << "the check waited for the pipe";
    EXPECT_STATUS(VI_ERROR_FILE_ACCESS, status);
    EXPECT_EQ(pipe + ": the device file is not a file on a disk", message);

    EXPECT_EQ("NUL: the device file is not a file on a disk", check("NUL", status));
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
    EXPECT_EQ(device + ":2:10: line: line must be an object", std::string(message));
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
    EXPECT_EQ(bad + ":3:13: ports[1].number: port 1 is declared twice", std::string(message));
    EXPECT_STATUS(VI_SUCCESS, simvisa_load_config(nullptr)) << "back to the shipped configuration";
    for (const auto& f : {device, config, bad})
        DeleteFileA(f.c_str());
}

}  // namespace
