#pragma once
// The process simulation block: 2104 bytes of named shared memory per process, in which a VISA
// COM session that opens a resource in simulation mode tells the VISA library which simulation
// file to play while its open is in progress. The session server writes it; a simulation VISA
// library reads it. Name: the global prefix, "_Morvane_LinkLibs_Process_Shm_" and the process id.
//
//   offset size
//   0      4     0x5013A530 at creation; 2104 (the block size) once a session has written it
//   4      4     id of the thread that runs the open
//   8      4     0
//   12     4     in-use word: 1 while a simulated open is in progress
//   16     1024  "MVPlayback"
//   1040   1024  simulation file name (ANSI code page), NUL-terminated
//   2064   20    interface type, "ASRL"
//   2084   20    resource class, "INSTR"
#include <cstddef>
#include <cstdint>

namespace simulation_block_layout {

inline constexpr char kBaseName[] = "_Morvane_LinkLibs_Process_Shm_";
inline constexpr std::uint32_t kSize = 2104;
inline constexpr std::uint32_t kFresh = 0x5013A530;

enum offset : std::size_t {
    version_at = 0,
    thread_at = 4,
    zero_at = 8,
    in_use_at = 12,
    tag_at = 16,
    file_at = 1040,
    interface_at = 2064,
    class_at = 2084,
};

inline constexpr std::size_t kTagSize = 1024;
inline constexpr std::size_t kFileSize = 1024;
inline constexpr std::size_t kNameFieldSize = 20;  // interface type and resource class

static_assert(class_at + kNameFieldSize == kSize, "the fields fill the block");
static_assert(file_at + kFileSize == interface_at && tag_at + kTagSize == file_at);

}  // namespace simulation_block_layout
