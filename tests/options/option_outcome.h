#pragma once
// Init with an option string on a fresh session, as a client calls it, and what came of it:
// the result, the error object, whether the session is open afterwards, and the attributes
// that reached the VISA library in call order (from the simulation library's call log).
#include <string>
#include <vector>

#include "session_client.h"

namespace mrv::test {

// The "attrName=0x3FFF0021,attrValue=19200" part of each viSetAttribute line of the log.
inline std::vector<std::string> attributes_set(const std::string& log)
{
    std::vector<std::string> r;
    const std::string call = "viSetAttribute(", name = "attrName=";
    for (std::size_t pos = 0; (pos = log.find(call, pos)) != std::string::npos;) {
        const std::size_t line_end = log.find('\n', pos);
        const std::string line = log.substr(pos, line_end - pos);
        const std::size_t from = line.find(name);
        if (from != std::string::npos)
            r.push_back(line.substr(from + name.size(), line.rfind(')') - from - name.size()));
        pos = line_end;
    }
    return r;
}

inline std::string attribute_set(unsigned long attribute, long value)
{
    char b[64];
    std::snprintf(b, sizeof b, "0x%08lX,attrValue=%ld", attribute, value);
    return b;
}

struct init_outcome {
    HRESULT hr = E_FAIL;
    error_info error;
    bool open = false;
    std::vector<std::string> sets;
    com_ptr<IVisaSession> session;
};

// `options` is handed to Init as a BSTR of `length` characters (embedded NULs included).
// Needs a session kept open elsewhere, so that the simulation library stays loaded.
inline init_outcome init_with(const wchar_t* options, std::size_t length,
                              const wchar_t* resource = L"ASRL1::INSTR")
{
    init_outcome r;
    simvisa visa;
    r.session = create_session();
    if (!r.session)
        return r;
    bstr_arg name(resource);
    BSTR opts = SysAllocStringLen(options, static_cast<UINT>(length));
    visa.clear_log();
    clear_error_info();
    r.hr = r.session->Init(name, NO_LOCK, 2000, opts);
    SysFreeString(opts);
    r.error = last_error_info();
    r.sets = attributes_set(visa.log());
    BSTR b = nullptr;
    r.open = r.session->get_SessionType(&b) == S_OK;
    SysFreeString(b);
    clear_error_info();
    return r;
}

inline init_outcome init_with(const std::wstring& options,
                              const wchar_t* resource = L"ASRL1::INSTR")
{
    return init_with(options.c_str(), options.size(), resource);
}

}  // namespace mrv::test
