// The process simulation block: named shared memory in which a VISA COM session that opens a
// resource in simulation mode names the simulation file, while its open is in progress.
#pragma once

#include <string>

namespace simvisa {

// The layout of the 2104-byte block.
namespace sim_block {
constexpr unsigned size = 2104;
constexpr unsigned version_offset = 0;  // 2104 once a session has written it
constexpr unsigned thread_offset = 4;   // thread that is opening
constexpr unsigned in_use_offset = 12;  // 1 while a simulated open is in progress
constexpr unsigned file_offset = 1040;  // simulation file name, 1024 bytes
constexpr unsigned file_size = 1024;
constexpr unsigned intf_offset = 2064;   // "ASRL", 20 bytes
constexpr unsigned class_offset = 2084;  // "INSTR", 20 bytes
constexpr unsigned field_size = 20;
}  // namespace sim_block

// The block's name for this process: "Global\_Morvane_LinkLibs_Process_Shm_<pid>".
std::string simulation_block_name();

// True with the file name when this thread's open is a simulated open of a serial INSTR
// resource: the block exists, was written, its in-use word is 1, it names this thread, "ASRL"
// and "INSTR", and a file.
bool simulated_open(std::string& file);

}  // namespace simvisa
