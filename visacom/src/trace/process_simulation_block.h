#pragma once
// The process simulation block: 2104 bytes of named shared memory per process through which a
// session opening in simulation mode tells the VISA library which simulation file to play.
// Layout (little-endian):
//   0    4     0x5013A530 at creation; 2104 once a session has written it
//   4    4     id of the thread that ran Init
//   8    4     0
//   12   4     in-use word: 1 while a simulated open is in progress
//   16   1024  "MVPlayback"
//   1040 1024  simulation file name (ANSI code page)
//   2064 20    interface type ("ASRL")
//   2084 20    resource class ("INSTR")
#include <windows.h>

#include <cstdint>
#include <string_view>

namespace mrv::trace {

inline constexpr std::uint32_t kSimulationBlockSize = 2104;
inline constexpr std::uint32_t kSimulationBlockFresh = 0x5013A530;

class process_simulation_block {
public:
    // Creates or opens this process's block; returns 1 when created, 0 when it existed,
    // -1 on failure (the block then stays unmapped and Publish writes nothing).
    int create();

    // Takes the simulation lock and returns with it held, whatever the result; finish_publish
    // releases it. S_OK when the fields were written; E_INVALIDARG for a file name of 260 bytes
    // or more, E_HANDLE when the block could not be made (nothing written either way).
    // playback_tag is the server's "MVPlayback" string.
    HRESULT publish(std::string_view playback_tag, std::string_view file_name,
                    std::string_view interface_type, std::string_view resource_class);

    // Clears the in-use word (when mapped) and releases the simulation lock.
    void finish_publish();

    // The first session object of the process makes the block and the simulation lock; later
    // ones find them made. Safe from any thread.
    void ensure_created();

    void close();

    bool mapped() const noexcept { return view_ != nullptr; }

private:
    HANDLE mapping_ = nullptr;
    unsigned char* view_ = nullptr;
    CRITICAL_SECTION lock_{};
    bool lock_ready_ = false;
    bool made_ = false;  // create() ran since the last close()
};

// The one block of this process.
process_simulation_block& simulation_block();

}  // namespace mrv::trace
