// lock_holder.exe: takes one named mutex of the trace transport and holds it until it is killed,
// for the tests of a writer that goes on after a process died holding it.
//
//   lock_holder pipe    the trace pipe's lock, which serialises the writers of all processes
//   lock_holder status  the shared trace status's lock
//
// Once it holds the lock it makes the event named by holding_event_name(its process id), so the
// test knows the lock is held for good and not only for a moment while the objects are made.
//
// Exit code 1: unknown lock or it could not be opened; 2: not taken within 20 s; 3: not killed
// within a minute.
#include <windows.h>

#include <cstring>
#include <string>

#include "lock_holder.h"
#include "trace/nko_client.h"
#include "trace/trace_pipe.h"
#include "trace/trace_status.h"
#include "com/unique_any.h"

using namespace mrv::trace;

int main(int argc, char** argv)
{
    if (argc != 2)
        return 1;
    // Made (or opened) as a writer or a monitor makes them, then the lock opened by its name.
    std::string name;
    if (std::strcmp(argv[1], "pipe") == 0) {
        if (!process_trace_pipe())
            return 1;
        name = nko_global_name(std::string(kPipeBaseName) + "_t_sem");
    } else if (std::strcmp(argv[1], "status") == 0) {
        shared_trace_status().start();
        name = kStatusLockName;
    } else {
        return 1;
    }
    const mrv::unique_handle lock(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
    if (!lock)
        return 1;
    const DWORD taken = WaitForSingleObject(lock.get(), 20000);
    if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED)
        return 2;
    const mrv::unique_handle holding(
        CreateEventA(nullptr, TRUE, TRUE, holding_event_name(GetCurrentProcessId()).c_str()));
    Sleep(60000);  // the test kills it long before; this only bounds a test that failed to
    return 3;
}
