// Resource locks across the sessions of the process.
#pragma once

#include <memory>

#include "objects.h"

namespace simvisa {

ViStatus acquire_lock(const std::shared_ptr<instr_session>& s, ViAccessMode type, ViUInt32 timeout,
                      const char* requested_key, char* access_key);
ViStatus release_lock(const std::shared_ptr<instr_session>& s);
// At close: every lock the session holds goes.
void release_all_locks(instr_session& s);

}  // namespace simvisa
