#include "control.h"

#include <windows.h>

#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>

#include "api_frame.h"
#include "simvisa_control.h"

namespace simvisa {
namespace {

constexpr size_t max_log_lines = 20000;

struct control_state {
    std::mutex m;
    std::deque<std::string> log;
    struct injection {
        ViStatus status;
        ViUInt32 remaining;
    };
    std::map<std::string, injection> injections;
    std::string message;
};

control_state& state()
{
    static control_state s;
    return s;
}

// Copies `s` into a caller buffer of `size` bytes (always terminated when size > 0) and
// returns the size needed including the NUL.
ViUInt32 copy_out(const std::string& s, char* buffer, ViUInt32 size)
{
    if (buffer && size > 0) {
        size_t n = std::min<size_t>(s.size(), size - 1);
        std::memcpy(buffer, s.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<ViUInt32>(s.size() + 1);
}

}  // namespace

std::string bytes(const void* data, uint32_t count)
{
    if (!data)
        return "null";
    constexpr uint32_t shown = 256;
    const auto* p = static_cast<const unsigned char*>(data);
    std::string out = "\"";
    for (uint32_t i = 0; i < count && i < shown; ++i) {
        const unsigned char c = p[i];
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            }
        }
    }
    out += count > shown ? "\"..." : "\"";
    return out;
}

std::string format_call(const char* function, std::initializer_list<log_arg> args)
{
    std::string line = function;
    line += '(';
    bool first = true;
    for (const auto& a : args) {
        if (!first)
            line += ',';
        first = false;
        line += a.name;
        line += '=';
        line += a.value;
    }
    line += ')';
    return line;
}

ViStatus status_of_current_exception()
{
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return VI_ERROR_ALLOC;
    } catch (...) {
        return VI_ERROR_SYSTEM_ERROR;
    }
}

void log_call(std::string line)
{
    auto& s = state();
    std::lock_guard lock(s.m);
    if (s.log.size() >= max_log_lines)
        s.log.pop_front();
    s.log.push_back(std::move(line));
}

bool take_injected_status(const char* function, ViStatus& status)
{
    auto& s = state();
    std::lock_guard lock(s.m);
    auto it = s.injections.find(function);
    if (it == s.injections.end())
        return false;
    status = it->second.status;
    if (--it->second.remaining == 0)
        s.injections.erase(it);
    return true;
}

void report_message(const std::string& text)
{
    {
        auto& s = state();
        std::lock_guard lock(s.m);
        s.message = text;
    }
    OutputDebugStringA(("simvisa: " + text + "\n").c_str());
}

}  // namespace simvisa

using namespace simvisa;

extern "C" {

ViUInt32 SIMVISA_API simvisa_log_text(char* buffer, ViUInt32 size)
{
    try {
        auto& s = state();
        std::string all;
        {
            std::lock_guard lock(s.m);
            for (const auto& line : s.log) {
                all += line;
                all += '\n';
            }
        }
        return copy_out(all, buffer, size);
    } catch (...) {
        return 0;
    }
}

ViUInt32 SIMVISA_API simvisa_log_count(const char* text)
{
    try {
        auto& s = state();
        std::lock_guard lock(s.m);
        ViUInt32 n = 0;
        for (const auto& line : s.log)
            if (!text || line.find(text) != std::string::npos)
                ++n;
        return n;
    } catch (...) {
        return 0;
    }
}

void SIMVISA_API simvisa_log_clear(void)
{
    auto& s = state();
    std::lock_guard lock(s.m);
    s.log.clear();
}

ViStatus SIMVISA_API simvisa_fail_next(const char* function, ViStatus status, ViUInt32 count)
{
    if (!function || !*function)
        return VI_ERROR_INV_PARAMETER;
    try {
        auto& s = state();
        std::lock_guard lock(s.m);
        if (count == 0)
            s.injections.erase(function);
        else
            s.injections[function] = {status, count};
        return VI_SUCCESS;
    } catch (...) {
        return VI_ERROR_ALLOC;
    }
}

void SIMVISA_API simvisa_clear_faults(void)
{
    auto& s = state();
    std::lock_guard lock(s.m);
    s.injections.clear();
}

ViUInt32 SIMVISA_API simvisa_last_message(char* buffer, ViUInt32 size)
{
    try {
        auto& s = state();
        std::lock_guard lock(s.m);
        return copy_out(s.message, buffer, size);
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
