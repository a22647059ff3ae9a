#include "json_reader.h"

#include <windows.h>

#include <cmath>
#include <cstdlib>

namespace simvisa {

json_error::json_error(const json_value& at, const std::string& what)
    : std::runtime_error(what), line(at.line), column(at.column), value(&at)
{}

const json_value* json_value::find(const std::string& key) const
{
    if (type != kind::object)
        return nullptr;
    for (const auto& [name, value] : members)
        if (name == key)
            return &value;
    return nullptr;
}

void only_members(const json_value& obj, std::initializer_list<const char*> allowed,
                  const char* where)
{
    for (const auto& [key, value] : obj.members) {
        bool ok = false;
        for (const char* a : allowed)
            ok = ok || key == a;
        if (!ok)
            throw json_error(value, "unknown member " + quoted(key) + " in " + where);
    }
}

const json_value& required(const json_value& obj, const char* key, const char* where)
{
    const json_value* v = obj.find(key);
    if (!v)
        throw json_error(obj, std::string(where) + " needs \"" + key + "\"");
    return *v;
}

const std::string& json_value::as_string(const char* what) const
{
    if (type != kind::string)
        throw json_error(*this, std::string(what) + " must be a string");
    return text;
}

double json_value::as_number(const char* what) const
{
    if (type != kind::number)
        throw json_error(*this, std::string(what) + " must be a number");
    return number;
}

int64_t json_value::as_integer(const char* what) const
{
    double v = as_number(what);
    if (std::floor(v) != v || std::fabs(v) > 9.0e15)
        throw json_error(*this, std::string(what) + " must be an integer");
    return static_cast<int64_t>(v);
}

bool json_value::as_bool(const char* what) const
{
    if (type != kind::boolean)
        throw json_error(*this, std::string(what) + " must be true or false");
    return boolean;
}

const std::vector<json_value>& json_value::as_array(const char* what) const
{
    if (type != kind::array)
        throw json_error(*this, std::string(what) + " must be an array");
    return items;
}

const json_value& json_value::as_object(const char* what) const
{
    if (type != kind::object)
        throw json_error(*this, std::string(what) + " must be an object");
    return *this;
}

namespace {

// A key as a key path shows it: .name for plain names, ["..."] for any other.
void append_key(std::string& path, const std::string& key)
{
    bool plain = !key.empty() && key.size() <= 40;
    for (char c : key)
        plain = plain && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-');
    if (plain) {
        if (!path.empty())
            path += '.';
        path += key;
    } else {
        path += '[' + quoted(key) + ']';
    }
}

// A character of the file as a message shows it.
std::string shown(char c)
{
    if (c > ' ' && c <= '~')
        return std::string("'") + c + "'";
    static constexpr char hex[] = "0123456789ABCDEF";
    const auto b = static_cast<unsigned char>(c);
    return std::string("byte 0x") + hex[b >> 4] + hex[b & 15];
}

class parser {
public:
    explicit parser(const std::string& text) : s_(text) {}

    json_value document()
    {
        if (s_.size() >= 2 &&
            ((s_[0] == '\xFF' && s_[1] == '\xFE') || (s_[0] == '\xFE' && s_[1] == '\xFF')))
            fail("the file is UTF-16; it must be UTF-8");
        if (s_.compare(0, 3, "\xEF\xBB\xBF") == 0)
            pos_ = line_start_ = column_at_ = 3;  // a byte order mark
        json_value v = value(0);
        skip_space();
        if (pos_ != s_.size())
            fail("unexpected text after the end of the document");
        return v;
    }

private:
    // One step of the key path of the value being read: a member's key, or an element's index.
    struct step {
        const std::string* key;  // null for an array element
        size_t index;
    };

    const std::string& s_;
    size_t pos_ = 0;
    int line_ = 1;
    size_t line_start_ = 0;
    // The column of column_at_, counted forward as reading moves on (characters, not bytes).
    size_t column_at_ = 0;
    int column_ = 1;
    std::vector<step> path_;

    int column(size_t at)
    {
        if (at < column_at_ || column_at_ < line_start_) {
            column_at_ = line_start_;
            column_ = 1;
        }
        for (; column_at_ < at; ++column_at_)
            if ((static_cast<unsigned char>(s_[column_at_]) & 0xC0) != 0x80)
                ++column_;
        return column_;
    }

    std::string path() const
    {
        std::string p;
        for (const step& s : path_) {
            if (s.key)
                append_key(p, *s.key);
            else
                p += '[' + std::to_string(s.index) + ']';
        }
        return p;
    }

    [[noreturn]] void fail_at(size_t at, const std::string& what)
    {
        throw json_error(line_, column(at), path(), what);
    }
    [[noreturn]] void fail(const std::string& what) { fail_at(pos_, what); }

    void skip_space()
    {
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                break;
            ++pos_;
            if (c == '\n') {
                ++line_;
                line_start_ = pos_;
            }
        }
    }

    char peek()
    {
        skip_space();
        if (pos_ >= s_.size())
            fail("unexpected end of file");
        return s_[pos_];
    }

    void expect(char c)
    {
        if (peek() != c)
            fail(std::string("expected '") + c + "'");
        ++pos_;
    }

    json_value value(int depth)
    {
        if (depth > 64)
            fail("nesting too deep");
        json_value v;
        char c = peek();
        v.line = line_;
        v.column = column(pos_);
        if (c == '{') {
            v.type = json_value::kind::object;
            ++pos_;
            if (peek() == '}') {
                ++pos_;
                return v;
            }
            for (;;) {
                if (peek() != '"')
                    fail("expected a member name in double quotes");
                std::string key = string_literal();
                expect(':');
                path_.push_back({&key, 0});
                json_value member = value(depth + 1);
                path_.pop_back();
                v.members.emplace_back(std::move(key), std::move(member));
                if (peek() == '}') {
                    ++pos_;
                    return v;
                }
                expect_separator("expected ',' or '}' in an object");
            }
        }
        if (c == '[') {
            v.type = json_value::kind::array;
            ++pos_;
            if (peek() == ']') {
                ++pos_;
                return v;
            }
            for (;;) {
                path_.push_back({nullptr, v.items.size()});
                v.items.push_back(value(depth + 1));
                path_.pop_back();
                if (peek() == ']') {
                    ++pos_;
                    return v;
                }
                expect_separator("expected ',' or ']' in an array");
            }
        }
        if (c == '"') {
            v.type = json_value::kind::string;
            v.text = string_literal();
            return v;
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            v.type = json_value::kind::number;
            v.number = number_literal();
            return v;
        }
        if (word("true")) {
            v.type = json_value::kind::boolean;
            v.boolean = true;
            return v;
        }
        if (word("false")) {
            v.type = json_value::kind::boolean;
            return v;
        }
        if (word("null"))
            return v;
        fail("unexpected character " + shown(c));
    }

    void expect_separator(const char* what)
    {
        if (peek() != ',')
            fail(what);
        ++pos_;
    }

    bool word(const char* w)
    {
        size_t n = std::char_traits<char>::length(w);
        if (s_.compare(pos_, n, w) != 0)
            return false;
        pos_ += n;
        return true;
    }

    double number_literal()
    {
        size_t start = pos_;
        if (s_[pos_] == '-')
            ++pos_;
        auto digits = [&] {
            size_t d = pos_;
            while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9')
                ++pos_;
            if (pos_ == d)
                fail("malformed number");
        };
        digits();
        if (pos_ < s_.size() && s_[pos_] == '.') {
            ++pos_;
            digits();
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-'))
                ++pos_;
            digits();
        }
        const double v = std::strtod(s_.substr(start, pos_ - start).c_str(), nullptr);
        if (!std::isfinite(v))
            fail_at(start, "number out of range");
        return v;
    }

    static void put_utf8(std::string& out, unsigned cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    // Appends the UTF-8 character whose lead byte was just taken; a sequence that is not UTF-8
    // (a stray continuation byte, an overlong form, a surrogate, a cut sequence) fails at its
    // lead byte.
    void utf8_character(std::string& out, unsigned char lead)
    {
        const size_t start = pos_ - 1;
        size_t more = 0;
        unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            fail_at(start, "invalid UTF-8 (" + shown(static_cast<char>(lead)) + ")");
        }
        for (size_t i = 0; i < more; ++i) {
            const auto b = pos_ + i < s_.size() ? static_cast<unsigned char>(s_[pos_ + i]) : 0;
            if (b < (i == 0 ? low : 0x80) || b > (i == 0 ? high : 0xBF))
                fail_at(start, "invalid UTF-8 (" + shown(static_cast<char>(lead)) + ")");
        }
        out.append(s_, start, more + 1);
        pos_ += more;
    }

    unsigned hex4()
    {
        if (pos_ + 4 > s_.size())
            fail("malformed \\u escape");
        unsigned cp = 0;
        for (int i = 0; i < 4; ++i) {
            char h = s_[pos_++];
            cp <<= 4;
            if (h >= '0' && h <= '9')
                cp |= h - '0';
            else if (h >= 'a' && h <= 'f')
                cp |= h - 'a' + 10;
            else if (h >= 'A' && h <= 'F')
                cp |= h - 'A' + 10;
            else
                fail_at(pos_ - 1, "malformed \\u escape");
        }
        return cp;
    }

    // A \u escape (its backslash and u taken): a code point, or a surrogate pair.
    unsigned escaped_code_point()
    {
        const size_t start = pos_ - 2;
        unsigned cp = hex4();
        if (cp >= 0xDC00 && cp <= 0xDFFF)
            fail_at(start, "\\u escape of a lone low surrogate");
        if (cp < 0xD800 || cp > 0xDBFF)
            return cp;
        if (s_.compare(pos_, 2, "\\u") != 0)
            fail_at(start, "\\u escape of a lone high surrogate");
        pos_ += 2;
        const unsigned low = hex4();
        if (low < 0xDC00 || low > 0xDFFF)
            fail_at(start, "\\u escape of a lone high surrogate");
        return 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }

    std::string string_literal()
    {
        ++pos_;  // opening quote
        std::string out;
        for (;;) {
            if (pos_ >= s_.size())
                fail("unterminated string");
            char c = s_[pos_++];
            if (c == '"')
                return out;
            if (c == '\n')
                fail_at(pos_ - 1, "line break inside a string");
            if (static_cast<unsigned char>(c) >= 0x80) {
                utf8_character(out, static_cast<unsigned char>(c));
                continue;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size())
                fail("unterminated string");
            char e = s_[pos_++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                const unsigned cp = escaped_code_point();
                // Code points below 0x100 stay single bytes: device texts are byte strings.
                if (cp < 0x100)
                    out += static_cast<char>(cp);
                else
                    put_utf8(out, cp);
                break;
            }
            default:
                fail_at(pos_ - 2, "unknown escape \\ followed by " + shown(e));
            }
        }
    }
};

// The key path of `target` within `v` (whose path is `path`); false when it is not there.
bool find_path(const json_value& v, const json_value* target, std::string& path)
{
    if (&v == target)
        return true;
    const size_t length = path.size();
    for (size_t i = 0; i < v.items.size(); ++i) {
        path += '[' + std::to_string(i) + ']';
        if (find_path(v.items[i], target, path))
            return true;
        path.resize(length);
    }
    for (const auto& [key, member] : v.members) {
        append_key(path, key);
        if (find_path(member, target, path))
            return true;
        path.resize(length);
    }
    return false;
}

}  // namespace

json_value parse_json(const std::string& text)
{
    return parser(text).document();
}

std::string quoted(const std::string& text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    size_t count = 0;
    for (char c : text) {
        if (++count > 40) {
            out += "...";
            break;
        }
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b > 0x7E || c == '"' || c == '\\') {
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

bool read_json_file(const std::string& path, const char* what, std::string& text,
                    std::string& message)
{
    struct file {
        HANDLE h;
        ~file()
        {
            if (h != INVALID_HANDLE_VALUE)
                CloseHandle(h);
        }
    } f{CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (f.h == INVALID_HANDLE_VALUE) {
        message = path + ": cannot open the " + what;
        return false;
    }
    // Only a file on a disk: a pipe or a device (names can come from another process, through
    // the simulation block) could keep the read waiting for data that never comes.
    LARGE_INTEGER size{};
    if (GetFileType(f.h) != FILE_TYPE_DISK || !GetFileSizeEx(f.h, &size)) {
        message = path + ": the " + what + " is not a file on a disk";
        return false;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > max_json_file) {
        message = path + ": the " + what + " is larger than " +
                  std::to_string(max_json_file >> 20) + " MiB";
        return false;
    }
    text.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!text.empty() &&
        (!ReadFile(f.h, text.data(), static_cast<DWORD>(text.size()), &got, nullptr) ||
         got != text.size())) {
        message = path + ": cannot read the " + what;
        return false;
    }
    return true;
}

std::string located_message(const std::string& file, const json_error& e, const json_value& root)
{
    std::string message = file;
    if (e.line > 0) {
        message += ':' + std::to_string(e.line);
        if (e.column > 0)
            message += ':' + std::to_string(e.column);
    }
    std::string path = e.path;
    if (e.value && !find_path(root, e.value, path))
        path.clear();
    message += ": ";
    if (!path.empty())
        message += path + ": ";
    return message + e.what();
}

}  // namespace simvisa
