#pragma once
// One line per event on the server's console, whole lines even when many clients run at once.
#include <string>

namespace nkoserver {

void log_line(const std::string& text);

}  // namespace nkoserver
