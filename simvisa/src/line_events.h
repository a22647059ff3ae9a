// Serial events that arise on the line: bytes reaching the receive buffer raise
// VI_EVENT_ASRL_CHAR and VI_EVENT_ASRL_TERMCHAR when they arrive (a timer thread of the library
// raises them at their arrival time), and the device's breaks and modem-line changes raise
// VI_EVENT_ASRL_BREAK, _CTS, _DSR, _DCD and _RI.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "port.h"

namespace simvisa {

// Bytes that reach the port's receive buffer at `at`. Caller holds p.m.
void note_arrival(const port& p, std::string_view bytes, clock::time_point at);

// Raises `type` on each of the sessions that enabled it. Caller holds no lock.
void raise_on_sessions(const std::vector<std::weak_ptr<instr_session>>& sessions, ViEventType type);

// Raises `type` on the sessions from the library's timer thread: for a thread that must never
// run handlers itself (it would wait for itself if one closed the port).
void raise_from_timer(std::vector<std::weak_ptr<instr_session>> sessions, ViEventType type);

// The modem-line attribute whose changes raise `type`'s counterpart (VI_ATTR_ASRL_CTS_STATE
// gives VI_EVENT_ASRL_CTS ...); 0 for an attribute that is no modem line.
ViEventType modem_line_event(ViAttr line);

}  // namespace simvisa
