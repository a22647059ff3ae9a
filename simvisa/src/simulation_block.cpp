#include "simulation_block.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace simvisa {
namespace {

uint32_t word_at(const unsigned char* base, unsigned offset)
{
    uint32_t v;
    std::memcpy(&v, base + offset, 4);
    return v;
}

std::string text_at(const unsigned char* base, unsigned offset, unsigned size)
{
    const char* p = reinterpret_cast<const char*>(base + offset);
    return std::string(p, strnlen(p, size));
}

struct mapping {
    HANDLE handle = nullptr;
    const unsigned char* view = nullptr;
    ~mapping()
    {
        if (view)
            UnmapViewOfFile(view);
        if (handle)
            CloseHandle(handle);
    }
};

}  // namespace

std::string simulation_block_name()
{
    return "Global\\_Morvane_LinkLibs_Process_Shm_" + std::to_string(GetCurrentProcessId());
}

bool simulated_open(std::string& file)
{
    mapping m;
    // Systems without the global namespace prefix publish the block under the bare name.
    const std::string name = simulation_block_name();
    m.handle = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (!m.handle)
        m.handle = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str() + 7);
    if (!m.handle)
        return false;
    m.view = static_cast<const unsigned char*>(
        MapViewOfFile(m.handle, FILE_MAP_READ, 0, 0, sim_block::size));
    if (!m.view)
        return false;
    if (word_at(m.view, sim_block::version_offset) != sim_block::size)
        return false;
    if (word_at(m.view, sim_block::in_use_offset) != 1)
        return false;
    if (word_at(m.view, sim_block::thread_offset) != GetCurrentThreadId())
        return false;
    if (text_at(m.view, sim_block::intf_offset, sim_block::field_size) != "ASRL")
        return false;
    if (text_at(m.view, sim_block::class_offset, sim_block::field_size) != "INSTR")
        return false;
    file = text_at(m.view, sim_block::file_offset, sim_block::file_size);
    return !file.empty();
}

}  // namespace simvisa
