#pragma once
// Generated requests for the kernel-object server's hostile-input test: texts that no server may
// carry out (cut, with a number or attribute missing or spoilt, repeated, unknown, badly escaped,
// in another process's name, asking for what cannot be made, random bytes, NULs in the wrong
// place, too long), frames that disagree with their text, and requests sent halfway before the
// client hangs up.
#include <windows.h>

#include <string>
#include <vector>

#include "fuzz_random.h"
#include "trace/nko_protocol.h"

namespace hostile {

struct request_case {
    enum class ending {
        zero_reply,       // a reply with handle 0, or the connection dropped; it goes on
        zero_then_close,  // the first reply must say 0 (or none comes); then the client hangs up
        hang_up,          // the client hangs up after sending, without reading
    };
    std::vector<std::string> messages;  // each one message on the pipe
    ending end = ending::zero_reply;
    const char* shape = "";
};

namespace detail {

inline std::string count_message(std::size_t count)
{
    const DWORD n = static_cast<DWORD>(count);
    return std::string(reinterpret_cast<const char*>(&n), sizeof n);
}

inline std::string framed_count(const std::string& text)
{
    return count_message(text.size() + 1);
}

inline std::string with_nul(const std::string& text)
{
    return std::string(text.c_str(), text.size() + 1);
}

// A request the server would carry out for `pid`, as a list of attributes.
inline void valid_request(fuzz::random& r, DWORD pid, const std::string& name, std::string& element,
                          std::vector<mrv::nko::attribute>& attributes)
{
    const std::string p = std::to_string(static_cast<LONG>(pid));
    switch (r.below(5)) {
    case 0:
        element = "CreateEvent";
        attributes = {{"ProcId", p},
                      {"SecurityAttributes", "1"},
                      {"bManualReset", "1"},
                      {"bInitialState", "0"},
                      {"lpName", mrv::nko::escape_name(name)}};
        return;
    case 1:
        element = "CreateMutex";
        attributes = {{"ProcId", p},
                      {"SecurityAttributes", "0"},
                      {"bInitialOwner", "0"},
                      {"lpName", mrv::nko::escape_name(name)}};
        return;
    case 2:
        element = "CreateSemaphore";
        attributes = {{"ProcId", p},
                      {"SecurityAttributes", "1"},
                      {"lInitialCount", "0"},
                      {"lMaximumCount", "65535"},
                      {"lpName", mrv::nko::escape_name(name)}};
        return;
    case 3:
        element = "CreateFileMapping";
        attributes = {{"ProcId", p},
                      {"hFile", "-1"},
                      {"SecurityAttributes", "1"},
                      {"flProtect", "4"},
                      {"dwMaximumSizeHigh", "0"},
                      {"dwMaximumSizeLow", "4096"},
                      {"lpName", mrv::nko::escape_name(name)}};
        return;
    default:
        element = "CloseHandle";
        attributes = {{"ProcId", p}, {"Handle", std::to_string(4 * (1 + r.below(4096)))}};
        return;
    }
}

// A request text that no server may carry out.
inline std::string malformed_text(fuzz::random& r, DWORD pid, const std::string& name,
                                  const char*& shape)
{
    std::string element;
    std::vector<mrv::nko::attribute> attributes;
    valid_request(r, pid, name, element, attributes);
    const std::size_t which = r.below(attributes.size());
    switch (r.below(12)) {
    case 0: {
        shape = "cut";
        const std::string text = mrv::nko::request_text(element, attributes);
        return text.substr(0, r.below(text.size()));
    }
    case 1: {
        static constexpr const char* kNotNumbers[] = {"",
                                                      "x",
                                                      "1x",
                                                      "1.5",
                                                      "0x10",
                                                      "+1",
                                                      " 1",
                                                      "1 ",
                                                      "99999999999999999999",
                                                      "-99999999999999999999",
                                                      "--1",
                                                      "1e3",
                                                      "&amp;1",
                                                      "\xef\xbc\x91"};
        shape = "not a number";
        if (attributes[which].first == "lpName")
            return malformed_text(r, pid, name, shape);
        attributes[which].second = r.pick(kNotNumbers);
        return mrv::nko::request_text(element, attributes);
    }
    case 2:
        shape = "attribute missing";  // every one is required
        attributes.erase(attributes.begin() + static_cast<std::ptrdiff_t>(which));
        return mrv::nko::request_text(element, attributes);
    case 3:
        shape = "attribute twice";
        attributes.insert(attributes.begin() +
                              static_cast<std::ptrdiff_t>(r.below(attributes.size())),
                          attributes[which]);
        return mrv::nko::request_text(element, attributes);
    case 4: {
        static constexpr const char* kElements[] = {
            "",          "Create",       "CreateEvents", "createevent", "CreateProcess",
            "OpenEvent", "Close Handle", "CreateEvent/", "?xml"};
        shape = "unknown element";
        return mrv::nko::request_text(r.pick(kElements), attributes);
    }
    case 5: {
        static constexpr const char* kEntities[] = {"&",      "&amp", "&foo;",  "&#34;",
                                                    "&#x22;", "&lt",  "&&amp;", "&QUOT;"};
        shape = "bad entity";
        std::string text = mrv::nko::request_text(element, attributes);
        const std::size_t value = text.find("=\"") + 2;
        return text.insert(value + r.below(text.find('"', value) - value + 1), r.pick(kEntities));
    }
    case 6: {
        static constexpr const char* kOthers[] = {"0",          "1",           "-1",        "4",
                                                  "2147483647", "-2147483648", "4294967296"};
        shape = "another process";
        attributes[0].second = r.one_in(2) ? r.pick(kOthers) : std::to_string(pid + 4);
        return mrv::nko::request_text(element, attributes);
    }
    case 7: {
        shape = "cannot be made";
        const std::string p = std::to_string(static_cast<LONG>(pid));
        const std::string n = mrv::nko::escape_name(name);
        switch (r.below(4)) {
        case 0:
            return mrv::nko::request_text("CreateSemaphore", {{"ProcId", p},
                                                              {"SecurityAttributes", "1"},
                                                              {"lInitialCount", "10"},
                                                              {"lMaximumCount", "5"},
                                                              {"lpName", n}});
        case 1:
            return mrv::nko::request_text("CreateSemaphore",
                                          {{"ProcId", p},
                                           {"SecurityAttributes", "1"},
                                           {"lInitialCount", "0"},
                                           {"lMaximumCount", r.one_in(2) ? "0" : "-3"},
                                           {"lpName", n}});
        case 2:
            return mrv::nko::request_text("CreateFileMapping",
                                          {{"ProcId", p},
                                           {"hFile", "-1"},
                                           {"SecurityAttributes", "1"},
                                           {"flProtect", r.one_in(2) ? "0" : "4"},
                                           {"dwMaximumSizeHigh", "0"},
                                           {"dwMaximumSizeLow", "0"},
                                           {"lpName", n}});
        default:
            return mrv::nko::request_text("CloseHandle",
                                          {{"ProcId", p}, {"Handle", r.one_in(2) ? "0" : "-4"}});
        }
    }
    case 8: {
        shape = "random bytes";
        std::string text(r.length(2000), '\0');
        for (char& c : text)
            c = static_cast<char>(r.below(256));
        if (!text.empty() && text[0] == '<')
            text[0] = '>';
        return text;
    }
    case 9: {
        static constexpr const char* kSpacing[] = {"  ", "\t", "\n", " \r\n", ""};
        shape = "spacing";
        std::string text = mrv::nko::request_text(element, attributes);
        const std::size_t blank = text.find(' ', r.below(text.find("=\"")));
        return text.replace(blank, 1, r.pick(kSpacing));
    }
    case 10: {
        static constexpr const char* kEnds[] = {"/ >", ">", "/>/>", "/> ", "/>\n", "", "</x>"};
        shape = "wrong end";
        std::string text = mrv::nko::request_text(element, attributes);
        return text.substr(0, text.size() - 2) + r.pick(kEnds);
    }
    default: {
        shape = "quote missing";
        std::string text = mrv::nko::request_text(element, attributes);
        // The last value's closing quote: the text ends without one.
        return text.erase(text.size() - 3, 1);
    }
    }
}

}  // namespace detail

// Case `n` for a client of process `pid`; `name` is unique to the case.
inline request_case generate_request(long long n, DWORD pid, const std::string& name)
{
    using namespace detail;
    fuzz::random r(n);
    request_case c;
    switch (r.below(10)) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4: {
        const std::string text = malformed_text(r, pid, name, c.shape);
        c.messages = {framed_count(text), with_nul(text)};
        return c;
    }
    case 5: {  // NULs in the wrong place
        std::string element;
        std::vector<mrv::nko::attribute> attributes;
        valid_request(r, pid, name, element, attributes);
        std::string text = mrv::nko::request_text(element, attributes);
        c.shape = "NUL misplaced";
        switch (r.below(3)) {
        case 0:  // none: the count covers the text only
            c.messages = {count_message(text.size()), text};
            return c;
        case 1:  // one inside
            text[1 + r.below(text.size() - 1)] = '\0';
            c.messages = {framed_count(text), with_nul(text)};
            return c;
        default:  // two at the end
            c.messages = {count_message(text.size() + 2), with_nul(with_nul(text))};
            return c;
        }
    }
    case 6: {  // too long: more than the server reads
        const char* shape = "";
        std::string text = malformed_text(r, pid, name, shape);
        text += std::string(2048 + r.length(20000), 'x');
        c.shape = "too long";
        c.messages = {framed_count(text), with_nul(text)};
        return c;
    }
    case 7: {  // the count disagrees with the text that follows
        std::string element;
        std::vector<mrv::nko::attribute> attributes;
        valid_request(r, pid, name, element, attributes);
        const std::string text = with_nul(mrv::nko::request_text(element, attributes));
        std::size_t count = text.size();
        while (count == text.size())
            count = r.one_in(4) ? r.next() & 0xFFFFFFFF : text.size() - 8 + r.below(16);
        c.shape = "count disagrees";
        c.messages = {count_message(count), text};
        return c;
    }
    case 8: {  // a count message that is not four bytes, then a request
        std::string count(r.one_in(2) ? r.below(4) : 5 + r.below(12), '\0');
        for (char& b : count)
            b = static_cast<char>(r.below(256));
        const char* shape = "";
        const std::string text = malformed_text(r, pid, name, shape);
        c.shape = "count not four bytes";
        c.messages = {count, with_nul(text)};
        c.end = request_case::ending::zero_then_close;
        return c;
    }
    default: {  // sent halfway, then the client hangs up
        std::string element;
        std::vector<mrv::nko::attribute> attributes;
        valid_request(r, pid, name, element, attributes);
        const std::string text = with_nul(mrv::nko::request_text(element, attributes));
        c.shape = "half sent";
        c.end = request_case::ending::hang_up;
        switch (r.below(3)) {
        case 0:
            break;  // nothing at all
        case 1:
            c.messages = {framed_count(text.substr(0, text.size() - 1))};
            break;
        default:
            c.messages = {framed_count(text.substr(0, text.size() - 1)),
                          text.substr(0, r.below(text.size()))};
        }
        return c;
    }
    }
}

}  // namespace hostile
