// A small JSON reader that remembers the line of every value, so that a malformed or
// inconsistent description file can be reported by file and line.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace simvisa {

// Raised for syntax errors and for values of the wrong shape; `line` is 1-based (0 = unknown).
struct json_error : std::runtime_error {
    json_error(int line, const std::string& what) : std::runtime_error(what), line(line) {}
    int line;
};

class json_value {
public:
    enum class kind { null, boolean, number, string, array, object };

    kind type = kind::null;
    int line = 0;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<json_value> items;                            // array elements
    std::vector<std::pair<std::string, json_value>> members;  // object members, in file order

    bool is(kind k) const { return type == k; }
    // Object member or null when absent.
    const json_value* find(const std::string& key) const;

    // Typed accessors that raise json_error naming this value's line and `what`.
    const std::string& as_string(const char* what) const;
    double as_number(const char* what) const;
    int64_t as_integer(const char* what) const;
    bool as_bool(const char* what) const;
    const std::vector<json_value>& as_array(const char* what) const;
    const json_value& as_object(const char* what) const;
};

json_value parse_json(const std::string& text);

// Rejects members that the format does not define, so that a misspelt key is reported.
void only_members(const json_value& obj, std::initializer_list<const char*> allowed,
                  const char* where);

// The member `key` of `obj`; a json_error naming `where` when it is absent.
const json_value& required(const json_value& obj, const char* key, const char* where);

}  // namespace simvisa
