// The process simulation block (layout in simulation_block_layout.h): named shared memory in
// which a VISA COM session that opens a resource in simulation mode names the simulation file,
// while its open is in progress.
#pragma once

#include <string>

namespace simvisa {

// The block's name for this process: "Global\_Morvane_LinkLibs_Process_Shm_<pid>".
std::string simulation_block_name();

// True with the file name when this thread's open is a simulated open of a serial INSTR
// resource: the block exists, was written, its in-use word is 1, it names this thread, "ASRL"
// and "INSTR", and a file.
bool simulated_open(std::string& file);

}  // namespace simvisa
