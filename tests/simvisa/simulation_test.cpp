// Simulation mode: while the process simulation block says that this thread's open is a
// simulated open of a serial INSTR resource, the session plays the device file it names.
#include <windows.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "simvisa_test_support.h"

using namespace simvisa_test;

namespace {

// The block as a VISA COM session publishes it around its open.
class simulation_block {
public:
    simulation_block()
    {
        std::string name =
            "Global\\_Morvane_LinkLibs_Process_Shm_" + std::to_string(GetCurrentProcessId());
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 2104,
                                      name.c_str());
        view_ = static_cast<unsigned char*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 2104));
        std::memset(view_, 0, 2104);
        put_word(0, 0x5013A530);
    }
    ~simulation_block()
    {
        UnmapViewOfFile(view_);
        CloseHandle(mapping_);
    }
    bool ok() const { return view_ != nullptr; }

    void publish(const std::string& file, DWORD thread = GetCurrentThreadId(),
                 const char* intf = "ASRL")
    {
        put_word(0, 2104);
        put_word(8, 0);
        put_word(4, thread);
        put_text(1040, file);
        put_text(16, "MVPlayback");
        put_word(12, 1);
        put_text(2064, intf);
        put_text(2084, "INSTR");
    }
    void done() { put_word(12, 0); }

private:
    HANDLE mapping_ = nullptr;
    unsigned char* view_ = nullptr;
    void put_word(unsigned off, uint32_t v) { std::memcpy(view_ + off, &v, 4); }
    void put_text(unsigned off, const std::string& s)
    {
        std::memcpy(view_ + off, s.c_str(), s.size() + 1);
    }
};

std::string temp_file(const char* name, const std::string& content)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string path = std::string(dir) + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

class simulation : public rm_test {};

TEST_F(simulation, a_simulated_open_plays_the_named_device_file)
{
    simulation_block block;
    ASSERT_TRUE(block.ok());
    const std::string file = temp_file(
        "simvisa_playback.json",
        R"({"name": "Playback bench", "identity": "SIM,PLAYBACK,42,0", "terminators": {"input": "\n", "output": "\n"}})");

    block.publish(file);
    ViSession played = open("ASRL5::INSTR");  // a port the configuration does not have
    block.done();
    EXPECT_EQ("SIM,PLAYBACK,42,0\n", query(played, "*IDN?\n"));

    // Without an open in progress, or for another thread, or another interface, the
    // configuration decides.
    ViSession vi = VI_NULL;
    EXPECT_STATUS(VI_ERROR_RSRC_NFOUND, viOpen(rm, "ASRL5::INSTR", VI_NULL, 0, &vi));
    block.publish(file, GetCurrentThreadId() + 1);
    EXPECT_STATUS(VI_ERROR_RSRC_NFOUND, viOpen(rm, "ASRL5::INSTR", VI_NULL, 0, &vi));
    block.publish(file, GetCurrentThreadId(), "GPIB");
    EXPECT_STATUS(VI_ERROR_RSRC_NFOUND, viOpen(rm, "ASRL5::INSTR", VI_NULL, 0, &vi));
    block.done();
    ViSession configured = open("ASRL1::INSTR");
    EXPECT_EQ("SIMVISA,DMM-6500,SN100200,1.02\n", query(configured, "*IDN?\n"));

    // A relative name is looked up next to the library as well.
    block.publish("devices/psu.json");
    ViSession psu = open("ASRL1::INSTR");
    block.done();
    viSetAttribute(psu, VI_ATTR_ASRL_BAUD, 19200);
    viSetAttribute(psu, VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_EVEN);
    EXPECT_EQ("SIMVISA,PSU-3303,SN7781,2.4\r\n", query(psu, "*IDN?\r\n"));

    block.publish("no-such-file.json");
    EXPECT_STATUS(VI_ERROR_FILE_ACCESS, viOpen(rm, "ASRL1::INSTR", VI_NULL, 0, &vi));
    block.done();
    DeleteFileA(file.c_str());
}

}  // namespace
