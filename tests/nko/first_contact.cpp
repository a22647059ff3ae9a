// first_contact.exe: a process's first contact with the kernel-object server as a program's first
// session object makes it: the process simulation block with its lock (whose creation takes the
// machine-wide lock-creation semaphore), then the trace pipe. Exit code 0 when both were made.
#include <windows.h>

#include "trace/process_simulation_block.h"
#include "trace/trace_pipe.h"

int main()
{
    const bool block = mrv::trace::simulation_block().create() >= 0;
    const bool pipe = mrv::trace::process_trace_pipe() != nullptr;
    return block && pipe ? 0 : 1;
}
