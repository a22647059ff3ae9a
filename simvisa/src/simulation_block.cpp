#include "simulation_block.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "simulation_block_layout.h"

namespace simvisa {
namespace {

namespace layout = simulation_block_layout;

uint32_t word_at(const unsigned char* base, std::size_t offset)
{
    uint32_t v;
    std::memcpy(&v, base + offset, 4);
    return v;
}

std::string text_at(const unsigned char* base, std::size_t offset, std::size_t size)
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
    return std::string("Global\\") + layout::kBaseName + std::to_string(GetCurrentProcessId());
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
        MapViewOfFile(m.handle, FILE_MAP_READ, 0, 0, layout::kSize));
    if (!m.view)
        return false;
    if (word_at(m.view, layout::version_at) != layout::kSize)
        return false;
    if (word_at(m.view, layout::in_use_at) != 1)
        return false;
    if (word_at(m.view, layout::thread_at) != GetCurrentThreadId())
        return false;
    if (text_at(m.view, layout::interface_at, layout::kNameFieldSize) != "ASRL")
        return false;
    if (text_at(m.view, layout::class_at, layout::kNameFieldSize) != "INSTR")
        return false;
    file = text_at(m.view, layout::file_at, layout::kFileSize);
    return !file.empty();
}

}  // namespace simvisa
