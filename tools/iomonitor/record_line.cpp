#include "record_line.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <utility>
#include <vector>

namespace iomonitor {

namespace {

using attribute = std::pair<std::wstring, std::wstring>;

// A control character as the readable line shows it, so that one record stays one line.
void append_visible(std::wstring& line, wchar_t c)
{
    switch (c) {
    case L'\r':
        line += L"\\r";
        return;
    case L'\n':
        line += L"\\n";
        return;
    case L'\t':
        line += L"\\t";
        return;
    default:
        break;
    }
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029) {
        static constexpr wchar_t hex[] = L"0123456789abcdef";
        line += c < 0x100 ? L"\\x" : L"\\u";
        for (int shift = c < 0x100 ? 4 : 12; shift >= 0; shift -= 4)
            line += hex[(c >> shift) & 15];
        return;
    }
    line += c;
}

// An attribute value of the record as readable text: entities replaced, control characters
// escaped.
std::wstring readable(std::wstring_view text)
{
    static constexpr std::pair<std::wstring_view, wchar_t> entities[] = {
        {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}};
    std::wstring plain;
    for (std::size_t i = 0; i < text.size();) {
        wchar_t c = text[i];
        std::size_t used = 1;
        for (const auto& [entity, replacement] : entities)
            if (text.substr(i, entity.size()) == entity) {
                c = replacement;
                used = entity.size();
                break;
            }
        append_visible(plain, c);
        i += used;
    }
    return plain;
}

// The tag that starts at `at` ("<Name a="v" .../>" or "<Name ...>"): its name and attributes;
// `at` moves past it. False when no tag starts there.
bool read_tag(std::wstring_view xml, std::size_t& at, std::wstring& name,
              std::vector<attribute>& attributes)
{
    attributes.clear();
    if (at >= xml.size() || xml[at] != L'<')
        return false;
    std::size_t i = at + 1;
    while (i < xml.size() && xml[i] != L' ' && xml[i] != L'>' && xml[i] != L'/')
        ++i;
    name.assign(xml.substr(at + 1, i - at - 1));
    while (i < xml.size() && xml[i] == L' ') {
        const std::size_t eq = xml.find(L"=\"", i);
        if (eq == std::wstring_view::npos)
            return false;
        const std::size_t close = xml.find(L'"', eq + 2);
        if (close == std::wstring_view::npos)
            return false;
        attributes.emplace_back(std::wstring(xml.substr(i + 1, eq - i - 1)),
                                readable(xml.substr(eq + 2, close - eq - 2)));
        i = close + 1;
    }
    const std::size_t end = xml.find(L'>', i);
    if (end == std::wstring_view::npos)
        return false;
    at = end + 1;
    return true;
}

// The line of a record that is not a trace record: a note and the start of its text.
std::wstring unreadable(std::wstring_view xml)
{
    constexpr std::size_t kShown = 1000;
    std::wstring line = L"unreadable record: ";
    for (wchar_t c : xml.substr(0, kShown))
        append_visible(line, c);
    if (xml.size() > kShown)
        line += L"... (" + std::to_wstring(xml.size()) + L" characters)";
    return line;
}

std::wstring value_of(const std::vector<attribute>& attributes, std::wstring_view name)
{
    for (const auto& [key, value] : attributes)
        if (key == name)
            return value;
    return {};
}

std::wstring hresult_text(const std::wstring& decimal)
{
    wchar_t hex[16];
    std::swprintf(hex, 16, L"0x%08lx",
                  static_cast<unsigned long>(std::wcstol(decimal.c_str(), nullptr, 10)));
    return hex;
}

}  // namespace

record_summary summarize_record(std::wstring_view xml)
{
    record_summary summary;
    std::size_t at = 0;
    std::wstring tag;
    std::vector<attribute> attributes;
    // <Message><Method><Method_...
    static constexpr std::wstring_view opening[] = {L"Message", L"Method"};
    for (std::wstring_view expected : opening)
        if (!read_tag(xml, at, tag, attributes) || tag != expected) {
            summary.line = unreadable(xml);
            return summary;
        }
    if (!read_tag(xml, at, tag, attributes) ||
        (tag != L"Method_Enter" && tag != L"Method_Exit" && tag != L"Method_Error")) {
        summary.line = unreadable(xml);
        return summary;
    }
    summary.kind = tag;
    summary.method = value_of(attributes, L"MethodName");
    summary.process_id = value_of(attributes, L"ProcessID");

    std::wstring line = L"pid=" + summary.process_id + L" tid=" +
                        value_of(attributes, L"ThreadID") + L" " +
                        value_of(attributes, L"AppName") + L" " + summary.method;
    if (tag == L"Method_Enter") {
        line += L" enter";
    } else {
        const std::wstring hr = value_of(attributes, L"HRESULT");
        line += tag == L"Method_Error" ? L" error " : L" exit ";
        line += hresult_text(hr);
        const std::wstring description = value_of(attributes, L"Description");
        if (!description.empty())
            line += L" \"" + description + L"\"";
        const long long elapsed =
            std::wcstoll(value_of(attributes, L"ElapsedNS").c_str(), nullptr, 10);
        wchar_t us[32];
        std::swprintf(us, 32, L" (%lld us)", elapsed / 1000);
        line += us;
    }
    const std::wstring address = value_of(attributes, L"Address");
    if (!address.empty())
        line += L" [" + address + L"]";

    // <Parameters><Parameter ...><Element .../>...</Parameter>...
    while (at < xml.size()) {
        if (!read_tag(xml, at, tag, attributes))
            break;
        if (tag != L"Parameter")
            continue;
        line += L" " + value_of(attributes, L"Name") + L"=";
        std::wstring values;
        int count = 0;
        while (read_tag(xml, at, tag, attributes) && tag == L"Element") {
            const std::wstring hex = value_of(attributes, L"BinHexValue");
            const std::wstring value = hex.empty() ? value_of(attributes, L"Value") : L"#" + hex;
            values += (count++ ? L"," : L"") + value;
        }
        line += count > 1 ? L"{" + values + L"}" : L"\"" + values + L"\"";
    }
    summary.line = line;
    return summary;
}

}  // namespace iomonitor
