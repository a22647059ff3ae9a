// Formatted I/O: the C printf and scanf conversions over the session's formatted buffers.
// The VISA-specific conversions (%b, %t, %y, ...) are refused with VI_ERROR_NSUP_FMT.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "api_frame.h"
#include "message_io.h"
#include "session_access.h"

using namespace simvisa;

namespace {

template <class T>
void append_formatted(std::string& out, const std::string& conversion, T value)
{
    int n = std::snprintf(nullptr, 0, conversion.c_str(), value);
    if (n <= 0)
        return;
    std::string piece(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(piece.data(), piece.size(), conversion.c_str(), value);
    piece.resize(static_cast<size_t>(n));
    out += piece;
}

// Formats `fmt`, taking its arguments from `args`, which is left after the last one used (so
// that a query can go on with the arguments of its read format).
ViStatus format_text(std::string& out, const char* fmt, va_list& args)
{
    for (const char* p = fmt; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        if (*++p == '%') {
            out += '%';
            continue;
        }
        std::string conversion = "%";
        while (*p && std::strchr("-+ #0", *p))
            conversion += *p++;
        auto number = [&] {
            if (*p == '*') {
                conversion += std::to_string(va_arg(args, int));
                ++p;
            } else {
                while (*p >= '0' && *p <= '9')
                    conversion += *p++;
            }
        };
        number();
        if (*p == '.') {
            conversion += *p++;
            number();
        }
        std::string length;
        while (*p && std::strchr("hlLzjt", *p))
            length += *p++;
        if (*p == 'I' && p[1] == '6' && p[2] == '4') {
            length = "ll";
            p += 3;
        }
        const char conv = *p;
        if (!conv)
            return VI_ERROR_INV_FMT;
        conversion += length;
        conversion += conv;
        const bool wide = length == "ll" || length == "j";
        switch (conv) {
        case 'd':
        case 'i':
            if (wide)
                append_formatted(out, conversion, va_arg(args, long long));
            else if (length == "l")
                append_formatted(out, conversion, va_arg(args, long));
            else if (length == "z" || length == "t")
                append_formatted(out, conversion, va_arg(args, ptrdiff_t));
            else
                append_formatted(out, conversion, va_arg(args, int));
            break;
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            if (wide)
                append_formatted(out, conversion, va_arg(args, unsigned long long));
            else if (length == "l")
                append_formatted(out, conversion, va_arg(args, unsigned long));
            else if (length == "z" || length == "t")
                append_formatted(out, conversion, va_arg(args, size_t));
            else
                append_formatted(out, conversion, va_arg(args, unsigned));
            break;
        case 'c':
            append_formatted(out, conversion, va_arg(args, int));
            break;
        case 's': {
            const char* s = va_arg(args, const char*);
            append_formatted(out, conversion, s ? s : "");
            break;
        }
        case 'p':
            append_formatted(out, conversion, va_arg(args, void*));
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (length == "L")
                append_formatted(out, conversion, va_arg(args, long double));
            else
                append_formatted(out, conversion, va_arg(args, double));
            break;
        case 'b':
        case 'B':
        case 't':
        case 'T':
        case 'y':
        case ',':
        case 'n':
            return VI_ERROR_NSUP_FMT;
        default:
            return VI_ERROR_INV_FMT;
        }
    }
    return VI_SUCCESS;
}

ViStatus printf_to_device(const std::shared_ptr<instr_session>& s, const char* fmt, va_list& args)
{
    if (!fmt)
        return VI_ERROR_INV_PARAMETER;
    std::string text;
    if (ViStatus st = format_text(text, fmt, args); st < 0)
        return st;
    std::string data;
    {
        std::lock_guard lock(s->m);
        s->write_buffer += text;
        data.swap(s->write_buffer);
    }
    ViUInt32 ret = 0;
    return write_message(s, reinterpret_cast<const unsigned char*>(data.data()),
                         static_cast<ViUInt32>(data.size()), ret);
}

ViStatus scan_text(const char* input, const char* fmt, va_list args)
{
    if (!fmt)
        return VI_ERROR_INV_PARAMETER;
    int n = std::vsscanf(input, fmt, args);
    return n < 0 && std::strchr(fmt, '%') ? VI_ERROR_INV_FMT : VI_SUCCESS;
}

// Scans one message: what the read buffer holds, else a message read from the device.
ViStatus scanf_from_device(const std::shared_ptr<instr_session>& s, const char* fmt, va_list args)
{
    if (!fmt)
        return VI_ERROR_INV_PARAMETER;
    std::string text;
    {
        std::lock_guard lock(s->m);
        text.swap(s->read_buffer);
    }
    if (text.empty()) {
        unsigned char buf[4096];
        ViUInt32 got = 0;
        ViStatus st = read_message(s, buf, sizeof buf, got, nullptr);
        if (st < 0)
            return st;
        text.assign(reinterpret_cast<char*>(buf), got);
    }
    return scan_text(text.c_str(), fmt, args);
}

// The operations, each with the name it is logged and fault-injected under.
ViStatus printf_call(const char* name, ViSession vi, ViConstString fmt, va_list& args)
{
    return api_call(name, {{"vi", num(vi)}, {"writeFmt", text(fmt)}}, [&] {
        return with_session(vi, [&](auto s) { return printf_to_device(s, fmt, args); });
    });
}

ViStatus sprintf_call(const char* name, ViSession vi, ViPBuf buf, ViConstString fmt, va_list& args)
{
    return api_call(name, {{"vi", num(vi)}, {"buf", ptr(buf)}, {"writeFmt", text(fmt)}}, [&] {
        return with_session(vi, [&](auto) -> ViStatus {
            if (!buf)
                return VI_ERROR_USER_BUF;
            if (!fmt)
                return VI_ERROR_INV_PARAMETER;
            std::string out;
            if (ViStatus st = format_text(out, fmt, args); st < 0)
                return st;
            std::memcpy(buf, out.c_str(), out.size() + 1);
            return VI_SUCCESS;
        });
    });
}

ViStatus scanf_call(const char* name, ViSession vi, ViConstString fmt, va_list& args)
{
    return api_call(name, {{"vi", num(vi)}, {"readFmt", text(fmt)}}, [&] {
        return with_session(vi, [&](auto s) { return scanf_from_device(s, fmt, args); });
    });
}

ViStatus sscanf_call(const char* name, ViSession vi, ViConstBuf buf, ViConstString fmt,
                     va_list& args)
{
    return api_call(name, {{"vi", num(vi)}, {"buf", ptr(buf)}, {"readFmt", text(fmt)}}, [&] {
        return with_session(vi, [&](auto) -> ViStatus {
            if (!buf)
                return VI_ERROR_USER_BUF;
            return scan_text(reinterpret_cast<const char*>(buf), fmt, args);
        });
    });
}

ViStatus queryf_call(const char* name, ViSession vi, ViConstString write_fmt,
                     ViConstString read_fmt, va_list& args)
{
    return api_call(
        name, {{"vi", num(vi)}, {"writeFmt", text(write_fmt)}, {"readFmt", text(read_fmt)}}, [&] {
            return with_session(vi, [&](auto s) -> ViStatus {
                if (ViStatus st = printf_to_device(s, write_fmt, args); st < 0)
                    return st;
                return scanf_from_device(s, read_fmt, args);
            });
        });
}

}  // namespace

extern "C" {

ViStatus _VI_FUNC viVPrintf(ViSession vi, ViConstString writeFmt, ViVAList params)
{
    return printf_call("viVPrintf", vi, writeFmt, params);
}

ViStatus _VI_FUNCC viPrintf(ViSession vi, ViConstString writeFmt, ...)
{
    va_list args;
    va_start(args, writeFmt);
    ViStatus st = printf_call("viPrintf", vi, writeFmt, args);
    va_end(args);
    return st;
}

ViStatus _VI_FUNC viVSPrintf(ViSession vi, ViPBuf buf, ViConstString writeFmt, ViVAList parms)
{
    return sprintf_call("viVSPrintf", vi, buf, writeFmt, parms);
}

ViStatus _VI_FUNCC viSPrintf(ViSession vi, ViPBuf buf, ViConstString writeFmt, ...)
{
    va_list args;
    va_start(args, writeFmt);
    ViStatus st = sprintf_call("viSPrintf", vi, buf, writeFmt, args);
    va_end(args);
    return st;
}

ViStatus _VI_FUNC viVScanf(ViSession vi, ViConstString readFmt, ViVAList params)
{
    return scanf_call("viVScanf", vi, readFmt, params);
}

ViStatus _VI_FUNCC viScanf(ViSession vi, ViConstString readFmt, ...)
{
    va_list args;
    va_start(args, readFmt);
    ViStatus st = scanf_call("viScanf", vi, readFmt, args);
    va_end(args);
    return st;
}

ViStatus _VI_FUNC viVSScanf(ViSession vi, ViConstBuf buf, ViConstString readFmt, ViVAList parms)
{
    return sscanf_call("viVSScanf", vi, buf, readFmt, parms);
}

ViStatus _VI_FUNCC viSScanf(ViSession vi, ViConstBuf buf, ViConstString readFmt, ...)
{
    va_list args;
    va_start(args, readFmt);
    ViStatus st = sscanf_call("viSScanf", vi, buf, readFmt, args);
    va_end(args);
    return st;
}

ViStatus _VI_FUNC viVQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt,
                            ViVAList params)
{
    return queryf_call("viVQueryf", vi, writeFmt, readFmt, params);
}

ViStatus _VI_FUNCC viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...)
{
    va_list args;
    va_start(args, readFmt);
    ViStatus st = queryf_call("viQueryf", vi, writeFmt, readFmt, args);
    va_end(args);
    return st;
}

}  // extern "C"
