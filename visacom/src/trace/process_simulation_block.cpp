#include "process_simulation_block.h"

#include <cstring>
#include <mutex>
#include <string>

#include "benaphore.h"
#include "nko_client.h"

namespace mrv::trace {

namespace {

constexpr char kBaseName[] = "_Morvane_LinkLibs_Process_Shm_";
constexpr std::size_t kMaxFileName = 260;

enum offsets : std::size_t {
    version_at = 0,
    thread_at = 4,
    zero_at = 8,
    in_use_at = 12,
    tag_at = 16,
    file_at = 1040,
    interface_at = 2064,
    class_at = 2084,
};

void put_word(unsigned char* view, std::size_t at, std::uint32_t value)
{
    std::memcpy(view + at, &value, sizeof value);
}

// Copies text into a field of the given size, cut to fit, always NUL-terminated.
void put_text(unsigned char* view, std::size_t at, std::size_t size, std::string_view text)
{
    const std::size_t n = text.size() < size ? text.size() : size - 1;
    std::memcpy(view + at, text.data(), n);
    view[at + n] = 0;
}

}  // namespace

int process_simulation_block::create()
{
    if (!lock_ready_) {
        InitializeCriticalSection(&lock_);
        lock_ready_ = true;
    }
    if (view_)
        return 0;

    const std::string pid = std::to_string(GetCurrentProcessId());
    benaphore creating;
    if (!creating.create(nko_global_name(std::string(kBaseName) + "Sem_" + pid)))
        return -1;
    creating.lock();
    int result = -1;
    mapping_ = NkoTakeHandle(NkoCreateFileMapping(
        INVALID_HANDLE_VALUE, NkoSecurityAttributes(), PAGE_READWRITE, 0, kSimulationBlockSize,
        nko_global_name(std::string(kBaseName) + pid).c_str()));
    if (mapping_) {
        const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
        view_ = static_cast<unsigned char*>(
            MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, kSimulationBlockSize));
        if (view_) {
            if (created) {
                std::memset(view_, 0, kSimulationBlockSize);
                put_word(view_, version_at, kSimulationBlockFresh);
            }
            result = created ? 1 : 0;
        } else {
            CloseHandle(mapping_);
            mapping_ = nullptr;
        }
    }
    creating.unlock();
    return result;
}

HRESULT process_simulation_block::publish(std::string_view playback_tag, std::string_view file_name,
                                          std::string_view interface_type,
                                          std::string_view resource_class)
{
    EnterCriticalSection(&lock_);
    if (file_name.size() >= kMaxFileName)
        return E_INVALIDARG;
    if (!view_)
        return E_HANDLE;  // no block to describe the open in
    put_word(view_, version_at, kSimulationBlockSize);
    put_word(view_, zero_at, 0);
    put_word(view_, thread_at, GetCurrentThreadId());
    put_text(view_, file_at, 1024, file_name);
    put_text(view_, tag_at, 1024, playback_tag);
    put_word(view_, in_use_at, 1);
    put_text(view_, interface_at, 20, interface_type);
    put_text(view_, class_at, 20, resource_class);
    return S_OK;
}

void process_simulation_block::finish_publish()
{
    if (view_)
        put_word(view_, in_use_at, 0);
    LeaveCriticalSection(&lock_);
}

void process_simulation_block::ensure_created()
{
    static std::mutex creating;
    std::lock_guard guard(creating);
    if (!made_) {
        create();
        made_ = true;
    }
}

void process_simulation_block::close()
{
    made_ = false;
    if (view_)
        UnmapViewOfFile(view_);
    if (mapping_)
        CloseHandle(mapping_);
    view_ = nullptr;
    mapping_ = nullptr;
    if (lock_ready_) {
        DeleteCriticalSection(&lock_);
        lock_ready_ = false;
    }
}

process_simulation_block& simulation_block()
{
    static process_simulation_block block;
    return block;
}

}  // namespace mrv::trace
