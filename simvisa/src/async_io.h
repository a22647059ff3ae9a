// Asynchronous reads and writes: job identifiers, a worker thread per busy session, and the
// I/O-completion event of every job.
#pragma once

#include <memory>

#include "objects.h"

namespace simvisa {

// VI_SUCCESS when queued, VI_SUCCESS_SYNC when done at once; *job (when given) is set before
// the completion event can be delivered.
ViStatus start_read_async(const std::shared_ptr<instr_session>& s, ViPBuf buf, ViUInt32 count,
                          ViPJobId job);
ViStatus start_write_async(const std::shared_ptr<instr_session>& s, ViConstBuf buf, ViUInt32 count,
                           ViPJobId job);
// Ends a waiting or running job; its completion then carries VI_ERROR_ABORT.
ViStatus terminate_job(const std::shared_ptr<instr_session>& s, ViJobId job);
// At close: every job ends with VI_ERROR_ABORT.
void cancel_jobs(const std::shared_ptr<instr_session>& s);

}  // namespace simvisa
