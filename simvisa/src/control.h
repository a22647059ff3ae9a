// The inspection and fault-injection state behind the simvisa_* exports.
#pragma once

#include <string>

#include "visa.h"

namespace simvisa {

void log_call(std::string line);

// An injected status for the next call of `function`, consumed by this query.
bool take_injected_status(const char* function, ViStatus& status);

// The last diagnostic (for example a malformed device file), also sent to the debugger output.
void report_message(const std::string& text);

}  // namespace simvisa
