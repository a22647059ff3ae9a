#include "params/paramstring_reader.h"

#include <limits>

#include "com/critical_section.h"

namespace mrv {
namespace {

// Created with the module, so that the first parses of two threads cannot race to make it.
CComAutoCriticalSection reader_lock;

constexpr std::string_view::size_type npos = std::string_view::npos;

std::string_view trim_spaces(std::string_view s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string_view skip_spaces(std::string_view s)
{
    const auto first = s.find_first_not_of(' ');
    return first == npos ? std::string_view() : s.substr(first);
}

bool is_c_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Decimal conversion as the C library's: leading white space, a sign, digits up to the first
// other character; clamped to the signed 32-bit range.
std::int32_t decimal_value(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && is_c_space(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        if (magnitude < limit)
            magnitude = magnitude * 10 + (s[i] - '0');
    if (magnitude > limit)
        magnitude = limit;
    if (negative)
        return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(magnitude == limit ? limit - 1 : magnitude);
}

param_item classify(std::string_view key, std::string_view value)
{
    param_item item;
    item.key = key;
    if (const std::int32_t n = decimal_value(value); n != 0) {
        item.number = n;
    } else if (value.find_first_not_of("0 ") != npos) {
        item.is_text = true;
        item.text = value;
    }
    return item;
}

}  // namespace

synchronize<paramstring_reader>::synchronize() noexcept
{
    reader_lock.Lock();
}
synchronize<paramstring_reader>::~synchronize()
{
    reader_lock.Unlock();
}

param_items paramstring_reader::read_items(std::string_view text)
{
    param_items items;
    std::string_view rest = skip_spaces(text);
    while (rest.find('=') != npos) {
        const auto end = rest.find(';');
        const std::string_view raw = rest.substr(0, end);
        if (raw.empty() || raw.size() > max_item_length)
            break;
        if (raw.find('=') != npos) {
            const std::string_view item = trim_spaces(raw);
            const auto eq = item.find('=');
            const std::string_view key = item.substr(0, eq);
            const std::string_view value = trim_spaces(item.substr(eq + 1));
            if (!key.empty() && key.size() <= max_key_length && value.size() <= max_value_length)
                items.push_back(classify(trim_spaces(key), value));
        }
        if (end == npos)
            break;
        rest = skip_spaces(rest.substr(end + 1));
    }
    return items;
}

void paramstring_reader::parse(std::string_view text)
{
    items_.clear();
    synchronize<paramstring_reader> guard;
    try {
        items_ = read_items(text);
        apply(items_);
    } catch (...) {
        rethrow_as_reader_failure();
    }
}

}  // namespace mrv
