#include "json_reader.h"

#include <cmath>
#include <cstdlib>

namespace simvisa {

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
            throw json_error(value.line, "unknown member \"" + key + "\" in " + where);
    }
}

const json_value& required(const json_value& obj, const char* key, const char* where)
{
    const json_value* v = obj.find(key);
    if (!v)
        throw json_error(obj.line, std::string(where) + " needs \"" + key + "\"");
    return *v;
}

const std::string& json_value::as_string(const char* what) const
{
    if (type != kind::string)
        throw json_error(line, std::string(what) + " must be a string");
    return text;
}

double json_value::as_number(const char* what) const
{
    if (type != kind::number)
        throw json_error(line, std::string(what) + " must be a number");
    return number;
}

int64_t json_value::as_integer(const char* what) const
{
    double v = as_number(what);
    if (std::floor(v) != v || std::fabs(v) > 9.0e15)
        throw json_error(line, std::string(what) + " must be an integer");
    return static_cast<int64_t>(v);
}

bool json_value::as_bool(const char* what) const
{
    if (type != kind::boolean)
        throw json_error(line, std::string(what) + " must be true or false");
    return boolean;
}

const std::vector<json_value>& json_value::as_array(const char* what) const
{
    if (type != kind::array)
        throw json_error(line, std::string(what) + " must be an array");
    return items;
}

const json_value& json_value::as_object(const char* what) const
{
    if (type != kind::object)
        throw json_error(line, std::string(what) + " must be an object");
    return *this;
}

namespace {

class parser {
public:
    explicit parser(const std::string& text) : s_(text) {}

    json_value document()
    {
        json_value v = value(0);
        skip_space();
        if (pos_ != s_.size())
            fail("unexpected text after the end of the document");
        return v;
    }

private:
    const std::string& s_;
    size_t pos_ = 0;
    int line_ = 1;

    [[noreturn]] void fail(const std::string& what) const { throw json_error(line_, what); }

    void skip_space()
    {
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == '\n')
                ++line_;
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                break;
            ++pos_;
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
                v.members.emplace_back(std::move(key), value(depth + 1));
                char n = peek();
                ++pos_;
                if (n == '}')
                    return v;
                if (n != ',')
                    fail("expected ',' or '}' in an object");
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
                v.items.push_back(value(depth + 1));
                char n = peek();
                ++pos_;
                if (n == ']')
                    return v;
                if (n != ',')
                    fail("expected ',' or ']' in an array");
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
        fail(std::string("unexpected character '") + c + "'");
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
        return std::strtod(s_.substr(start, pos_ - start).c_str(), nullptr);
    }

    static void put_utf8(std::string& out, unsigned cp)
    {
        if (cp < 0x80)
            out += static_cast<char>(cp);
        else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
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
                fail("line break inside a string");
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
                        fail("malformed \\u escape");
                }
                // Code points below 0x100 stay single bytes: device texts are byte strings.
                if (cp < 0x100)
                    out += static_cast<char>(cp);
                else
                    put_utf8(out, cp);
                break;
            }
            default:
                fail(std::string("unknown escape '\\") + e + "'");
            }
        }
    }
};

}  // namespace

json_value parse_json(const std::string& text)
{
    return parser(text).document();
}

}  // namespace simvisa
