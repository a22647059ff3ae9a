// Message-based transfers of a session over its port, with the VISA termination rules.
#pragma once

#include <atomic>
#include <memory>
#include <string_view>

#include "objects.h"

namespace simvisa {

// Reads until END, the termination character, `count` bytes, the session's time-out, or
// `cancel` (VI_ERROR_ABORT). `ret` holds the bytes stored, on errors too.
ViStatus read_message(const std::shared_ptr<instr_session>& s, ViPBuf buf, ViUInt32 count,
                      ViUInt32& ret, const std::atomic<bool>* cancel);

// True when a read of `count` bytes would end at once on bytes that have already arrived.
bool read_would_complete(const std::shared_ptr<instr_session>& s, ViUInt32 count);

// Sends the bytes with the END rules of VI_ATTR_SEND_END_EN and VI_ATTR_ASRL_END_OUT.
ViStatus write_message(const std::shared_ptr<instr_session>& s, const unsigned char* buf,
                       ViUInt32 count, ViUInt32& ret);

// Wakes the reads waiting on the session's port (after a cancel or a close).
void wake_port(const std::shared_ptr<instr_session>& s);

}  // namespace simvisa
