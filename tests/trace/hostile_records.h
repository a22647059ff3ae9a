#pragma once
// Generated contents of the trace pipe for the monitor's hostile-input tests: well-formed trace
// records with random values (and what the monitor's line must then show), and records broken
// every way a writer could break them: cut anywhere, without their NUL, with an odd number of
// bytes, edited with markup characters, NULs, line breaks and lone surrogates, random text or
// bytes, more tags than any record has, and records larger than the pipe.
#include <windows.h>

#include <string>
#include <vector>

#include "fuzz_random.h"
#include "trace/trace_pipe.h"

namespace hostile {

struct pipe_contents {
    std::vector<wchar_t> data;  // what a writer puts in the pipe
    DWORD bytes = 0;            // how many bytes of it (may be odd, or beyond the capacity)
    const char* shape = "";
    // Set for well-formed records: what the monitor's summary must show.
    bool well_formed = false;
    std::wstring kind, method, process_id;
    std::vector<std::wstring> shown;  // texts the readable line must contain
};

namespace detail {

// Printable characters, the markup ones among them, and non-ASCII letters; no control
// characters, so that a well-formed record's values read back unchanged.
inline std::wstring printable_text(fuzz::random& r, std::size_t most)
{
    static constexpr wchar_t kSpecial[] = L"&<>\"'=/ ;:,.-_";
    std::wstring text;
    const std::size_t n = r.length(most);
    for (std::size_t i = 0; i < n; ++i) {
        switch (r.below(4)) {
        case 0:
            text += static_cast<wchar_t>(L'a' + r.below(26));
            break;
        case 1:
            text += static_cast<wchar_t>(L'0' + r.below(10));
            break;
        case 2:
            text += kSpecial[r.below(sizeof kSpecial / sizeof(wchar_t) - 1)];
            break;
        default: {
            // Letters beyond ASCII, below the surrogates and away from the line separators.
            static constexpr wchar_t kLetters[] = {0xE9, 0x3A9, 0x416, 0x4E2D, 0x20AC, 0xFB01};
            text += r.pick(kLetters);
        }
        }
    }
    return text;
}

inline std::wstring escaped(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'&':
            out += L"&amp;";
            break;
        case L'<':
            out += L"&lt;";
            break;
        case L'>':
            out += L"&gt;";
            break;
        case L'"':
            out += L"&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

inline std::wstring number(fuzz::random& r)
{
    return std::to_wstring(r.below(100000));
}

inline std::wstring attribute(const wchar_t* name, const std::wstring& plain)
{
    return std::wstring(L" ") + name + L"=\"" + escaped(plain) + L"\"";
}

// A record in the trace format, with what its summary must show.
inline pipe_contents well_formed(fuzz::random& r, std::size_t value_most)
{
    static constexpr const wchar_t* kKinds[] = {L"Method_Enter", L"Method_Exit", L"Method_Error"};
    pipe_contents c;
    c.well_formed = true;
    c.kind = r.pick(kKinds);
    c.method = printable_text(r, 40);
    c.process_id = number(r);
    const std::wstring app = printable_text(r, 20), address = printable_text(r, 30);
    std::wstring xml = L"<Message><Method><" + c.kind;
    if (c.kind == L"Method_Error") {
        const std::wstring description = printable_text(r, 80);
        xml += attribute(L"Description", description) + attribute(L"ErrorSource", L"src") +
               attribute(L"HelpContext", number(r)) + attribute(L"HelpFile", L"x.chm");
        if (!description.empty())
            c.shown.push_back(L"\"" + description + L"\"");
    }
    xml += attribute(L"MethodName", c.method);
    xml += c.kind == L"Method_Enter" ? attribute(L"Timestamp", number(r))
                                     : attribute(L"ElapsedNS", number(r));
    xml += attribute(L"AppName", app) + attribute(L"ThreadID", number(r)) +
           attribute(L"ProcessID", c.process_id);
    if (c.kind != L"Method_Enter")
        xml += attribute(L"HRESULT", L"-" + number(r));
    xml += attribute(L"Address", address) + attribute(L"Source", L"VisaCom");
    const std::size_t parameters = r.below(5);
    if (c.kind != L"Method_Error")
        xml += attribute(L"ParamCount", std::to_wstring(parameters));
    xml += L"/></Method>";
    c.shown.push_back(L" " + app + L" " + c.method);
    if (!address.empty())
        c.shown.push_back(L"[" + address + L"]");
    if (parameters) {
        xml += L"<Parameters>";
        for (std::size_t p = 0; p < parameters; ++p) {
            const std::wstring name = L"p" + std::to_wstring(p);
            xml += L"<Parameter" + attribute(L"Name", name) + attribute(L"InParam", L"True") +
                   attribute(L"OutParam", L"False") + attribute(L"RetVal", L"False");
            std::wstring values;
            if (r.one_in(3)) {
                static constexpr wchar_t kHex[] = L"0123456789abcdef";
                std::wstring hex;
                for (std::size_t n = r.length(value_most / 2) * 2; n; --n)
                    hex += kHex[r.below(16)];
                xml += attribute(L"ParamType", L"ARRAY->uint8") + L"><Element" +
                       attribute(L"BinHexValue", hex) + L"/>";
                values = hex.empty() ? L"\"\"" : L"\"#" + hex + L"\"";
            } else {
                const std::wstring value = printable_text(r, value_most);
                xml += attribute(L"ParamType", L"string") + L"><Element" +
                       attribute(L"Value", value) + L"/>";
                values = L"\"" + value + L"\"";
            }
            xml += L"</Parameter>";
            c.shown.push_back(L" " + name + L"=" + values);
        }
        xml += L"</Parameters>";
    }
    xml += L"</Message>";
    c.data.assign(xml.begin(), xml.end());
    c.data.push_back(L'\0');
    c.bytes = static_cast<DWORD>(c.data.size() * sizeof(wchar_t));
    c.shape = "well-formed";
    return c;
}

// A character a broken record may hold: markup, NUL, line breaks, lone surrogates, anything.
inline wchar_t hostile_char(fuzz::random& r)
{
    static constexpr wchar_t kChars[] = {L'<', L'>',   L'"',   L'=',   L' ',   L'/',
                                         L'&', L'\0',  L'\r',  L'\n',  L'\t',  0x7F,
                                         0x85, 0xD800, 0xDC00, 0x2028, 0xFFFF, 0xFEFF};
    return r.one_in(3) ? static_cast<wchar_t>(r.below(0x10000)) : r.pick(kChars);
}

inline void set_text(pipe_contents& c, const std::wstring& text, bool with_nul)
{
    c.data.assign(text.begin(), text.end());
    if (with_nul)
        c.data.push_back(L'\0');
    c.bytes = static_cast<DWORD>(c.data.size() * sizeof(wchar_t));
}

}  // namespace detail

// Case `n` of a run: mostly broken contents, a fifth of them well-formed. `large` allows
// contents up to and beyond the pipe's capacity.
inline pipe_contents generate(long long n, bool large)
{
    using namespace detail;
    fuzz::random r(n);
    const std::size_t value_most = large && r.one_in(40) ? 0x4000 : 200;
    pipe_contents c = well_formed(r, value_most);
    const std::size_t chars = mrv::trace::kPipeCapacity / sizeof(wchar_t);
    switch (r.below(10)) {
    case 0:
    case 1:
        return c;
    case 2: {  // cut anywhere, without its NUL, sometimes in the middle of a character
        const std::size_t keep = r.below(c.data.size());
        c.data.resize(keep + 1);
        c.bytes = static_cast<DWORD>(keep * sizeof(wchar_t) + (r.one_in(4) ? 1 : 0));
        c.well_formed = false;
        c.shape = "cut";
        return c;
    }
    case 3:
    case 4: {  // a few characters replaced, inserted or removed
        std::wstring text(c.data.begin(), c.data.end() - 1);
        for (std::size_t edits = 1 + r.below(6); edits; --edits) {
            const std::size_t at = r.below(text.size() + 1);
            switch (r.below(3)) {
            case 0:
                text.insert(at, 1, hostile_char(r));
                break;
            case 1:
                if (at < text.size())
                    text[at] = hostile_char(r);
                break;
            default:
                text.erase(at, r.below(8));
            }
        }
        set_text(c, text, !r.one_in(4));
        c.well_formed = false;
        c.shape = "edited";
        return c;
    }
    case 5: {  // a NUL after the record and junk after it: the junk is not part of the record
        for (std::size_t i = r.length(100); i; --i)
            c.data.push_back(hostile_char(r));
        c.bytes = static_cast<DWORD>(c.data.size() * sizeof(wchar_t));
        c.shape = "junk after the NUL";
        return c;
    }
    case 6: {  // random text, from nothing to the whole pipe
        std::wstring text;
        for (std::size_t i = r.length(large ? chars : 4096); i; --i)
            text += hostile_char(r);
        set_text(c, text, r.one_in(2));
        c.well_formed = false;
        c.shape = "random text";
        return c;
    }
    case 7: {  // random bytes, often an odd number of them
        const std::size_t bytes = r.length(large ? mrv::trace::kPipeCapacity : 8192);
        c.data.assign(bytes / sizeof(wchar_t) + 1, 0);
        auto* raw = reinterpret_cast<unsigned char*>(c.data.data());
        for (std::size_t i = 0; i < bytes; ++i)
            raw[i] = static_cast<unsigned char>(r.below(256));
        c.bytes = static_cast<DWORD>(bytes);
        c.well_formed = false;
        c.shape = "random bytes";
        return c;
    }
    case 8: {  // the record's opening followed by a great many tags or attributes
        std::wstring text(c.data.begin(), c.data.end() - 1);
        text.resize(text.find(L"</Method>") + 9);
        static constexpr const wchar_t* kPieces[] = {L"<Parameters>",
                                                     L"<Parameter Name=\"x\">",
                                                     L"<Element Value=\"1\"/>",
                                                     L"<Element",
                                                     L" a=\"",
                                                     L"</Parameter>",
                                                     L"<",
                                                     L"\"",
                                                     L"=\""};
        for (std::size_t i = r.length(large ? 20000 : 500); i; --i)
            text += r.pick(kPieces);
        set_text(c, text, r.one_in(2));
        c.well_formed = false;
        c.shape = "many tags";
        return c;
    }
    default: {  // larger than the pipe: the writer keeps the first 256 KiB, without the NUL
        std::wstring text(c.data.begin(), c.data.end() - 1);
        if (large) {
            const std::wstring head = text.substr(0, text.find(L"/></Method>"));
            text = head + L" Big=\"" + std::wstring(chars + r.below(1000), L'x') + L"\"/>";
        }
        set_text(c, text, true);
        c.well_formed = !large;
        c.shape = large ? "larger than the pipe" : "well-formed, NUL dropped";
        if (!large)
            c.bytes -= sizeof(wchar_t);
        return c;
    }
    }
}

}  // namespace hostile
