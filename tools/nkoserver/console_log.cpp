#include "console_log.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

namespace nkoserver {

void log_line(const std::string& text)
{
    static std::mutex lock;
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::lock_guard guard(lock);
    std::printf("%02u:%02u:%02u.%03u %s\n", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
                text.c_str());
    std::fflush(stdout);
}

}  // namespace nkoserver
