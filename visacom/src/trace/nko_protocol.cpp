#include "trace/nko_protocol.h"

#include <charconv>

namespace mrv::nko {

namespace {

constexpr struct {
    char plain;
    std::string_view entity;
} kEntities[] = {
    {'"', "&quot;"}, {'&', "&amp;"}, {'\'', "&apos;"}, {'<', "&lt;"}, {'>', "&gt;"},
};

std::string decimal(std::int64_t value)
{
    return std::to_string(value);
}

// Signed decimal as the request texts write numbers: DWORDs as 32-bit, handles pointer-wide.
std::string as_signed(DWORD value)
{
    return decimal(static_cast<LONG>(value));
}
std::string as_signed(ULONG_PTR value)
{
    return decimal(static_cast<LONG_PTR>(value));
}

std::string flag(bool value)
{
    return value ? "1" : "0";
}

std::optional<std::int64_t> leading_number(std::string_view text, std::size_t* used = nullptr)
{
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{})
        return std::nullopt;
    if (used)
        *used = static_cast<std::size_t>(end - text.data());
    return value;
}

std::optional<std::string> unescape(std::string_view text)
{
    std::string plain;
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] != '&') {
            plain += text[at++];
            continue;
        }
        bool known = false;
        for (const auto& e : kEntities) {
            if (text.substr(at).starts_with(e.entity)) {
                plain += e.plain;
                at += e.entity.size();
                known = true;
                break;
            }
        }
        if (!known)
            return std::nullopt;
    }
    return plain;
}

bool is_name_char(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

std::string request_text(std::string_view element, const std::vector<attribute>& attributes)
{
    std::string text = "<";
    text += element;
    for (const auto& [name, value] : attributes) {
        text += ' ';
        text += name;
        text += "=\"";
        text += value;
        text += '"';
    }
    text += "/>";
    if (text.size() > kMaxRequestText)
        text.resize(kMaxRequestText);
    return text;
}

std::string escape_name(std::string_view name)
{
    std::string text;
    for (char c : name) {
        std::string_view piece(&c, 1);
        for (const auto& e : kEntities)
            if (e.plain == c)
                piece = e.entity;
        if (text.size() + piece.size() > kMaxNameText)
            break;
        text += piece;
    }
    return text;
}

std::string create_event_request(DWORD process, bool attributes, BOOL manual_reset,
                                 BOOL initial_state, std::string_view name)
{
    return request_text("CreateEvent", {{"ProcId", as_signed(process)},
                                        {"SecurityAttributes", flag(attributes)},
                                        {"bManualReset", decimal(manual_reset)},
                                        {"bInitialState", decimal(initial_state)},
                                        {"lpName", escape_name(name)}});
}

std::string create_mutex_request(DWORD process, bool attributes, BOOL initial_owner,
                                 std::string_view name)
{
    return request_text("CreateMutex", {{"ProcId", as_signed(process)},
                                        {"SecurityAttributes", flag(attributes)},
                                        {"bInitialOwner", decimal(initial_owner)},
                                        {"lpName", escape_name(name)}});
}

std::string create_semaphore_request(DWORD process, bool attributes, LONG initial_count,
                                     LONG maximum_count, std::string_view name)
{
    return request_text("CreateSemaphore", {{"ProcId", as_signed(process)},
                                            {"SecurityAttributes", flag(attributes)},
                                            {"lInitialCount", decimal(initial_count)},
                                            {"lMaximumCount", decimal(maximum_count)},
                                            {"lpName", escape_name(name)}});
}

std::string create_file_mapping_request(DWORD process, HANDLE file, bool attributes, DWORD protect,
                                        DWORD maximum_size_high, DWORD maximum_size_low,
                                        std::string_view name)
{
    return request_text("CreateFileMapping",
                        {{"ProcId", as_signed(process)},
                         {"hFile", as_signed(reinterpret_cast<ULONG_PTR>(file))},
                         {"SecurityAttributes", flag(attributes)},
                         {"flProtect", as_signed(protect)},
                         {"dwMaximumSizeHigh", as_signed(maximum_size_high)},
                         {"dwMaximumSizeLow", as_signed(maximum_size_low)},
                         {"lpName", escape_name(name)}});
}

std::string close_handle_request(DWORD process, ULONG_PTR handle)
{
    return request_text("CloseHandle",
                        {{"ProcId", as_signed(process)}, {"Handle", as_signed(handle)}});
}

reply parse_reply(std::string_view text)
{
    reply r;
    if (const auto handle = leading_number(text))
        r.handle = static_cast<ULONG_PTR>(*handle);
    if (const auto comma = text.find(','); comma != std::string_view::npos)
        r.error = static_cast<DWORD>(leading_number(text.substr(comma + 1)).value_or(0));
    return r;
}

std::string reply_text(ULONG_PTR handle, DWORD error)
{
    return as_signed(handle) + "," + std::to_string(error);
}

const std::string* request::find(std::string_view name) const
{
    for (const auto& [n, v] : attributes)
        if (n == name)
            return &v;
    return nullptr;
}

std::optional<std::int64_t> request::number(std::string_view name) const
{
    const std::string* text = find(name);
    std::size_t used = 0;
    if (!text)
        return std::nullopt;
    const auto value = leading_number(*text, &used);
    if (!value || used != text->size())
        return std::nullopt;
    return value;
}

std::optional<request> parse_request(std::string_view text)
{
    if (!text.starts_with('<') || !text.ends_with("/>"))
        return std::nullopt;
    text = text.substr(1, text.size() - 3);
    request r;
    std::size_t at = 0;
    while (at < text.size() && is_name_char(text[at]))
        r.element += text[at++];
    if (r.element.empty())
        return std::nullopt;
    while (at < text.size()) {
        if (text[at++] != ' ')
            return std::nullopt;
        std::string name;
        while (at < text.size() && is_name_char(text[at]))
            name += text[at++];
        if (name.empty() || text.substr(at, 2) != "=\"")
            return std::nullopt;
        at += 2;
        const std::size_t close = text.find('"', at);
        if (close == std::string_view::npos)
            return std::nullopt;
        auto value = unescape(text.substr(at, close - at));
        if (!value || r.find(name))
            return std::nullopt;
        r.attributes.emplace_back(std::move(name), std::move(*value));
        at = close + 1;
    }
    return r;
}

}  // namespace mrv::nko
