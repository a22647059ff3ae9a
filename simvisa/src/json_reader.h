// A small JSON reader that remembers where every value stands (line, column and key path), so
// that a malformed or inconsistent description file can be reported by file and place.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace simvisa {

class json_value;

// Raised for syntax errors and for values of the wrong shape. `line` and `column` are 1-based
// (0 = unknown; the column counts characters). A syntax error carries the key path of the value
// being read, such as ports[1].line (empty for the document itself); an error about a value
// carries the value, whose path located_message() finds in the document.
struct json_error : std::runtime_error {
    json_error(int line, int column, std::string path, const std::string& what)
        : std::runtime_error(what), line(line), column(column), path(std::move(path))
    {}
    json_error(const json_value& at, const std::string& what);
    int line;
    int column;
    std::string path;
    const json_value* value = nullptr;
};

class json_value {
public:
    enum class kind { null, boolean, number, string, array, object };

    kind type = kind::null;
    int line = 0;
    int column = 0;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<json_value> items;                            // array elements
    std::vector<std::pair<std::string, json_value>> members;  // object members, in file order

    bool is(kind k) const { return type == k; }
    // Object member or null when absent.
    const json_value* find(const std::string& key) const;

    // Typed accessors that raise json_error naming this value's place and `what`.
    const std::string& as_string(const char* what) const;
    double as_number(const char* what) const;
    int64_t as_integer(const char* what) const;
    bool as_bool(const char* what) const;
    const std::vector<json_value>& as_array(const char* what) const;
    const json_value& as_object(const char* what) const;
};

// Text in UTF-8 (a byte order mark is skipped); numbers must be finite doubles.
json_value parse_json(const std::string& text);

// Rejects members that the format does not define, so that a misspelt key is reported.
void only_members(const json_value& obj, std::initializer_list<const char*> allowed,
                  const char* where);

// The member `key` of `obj`; a json_error naming `where` when it is absent.
const json_value& required(const json_value& obj, const char* key, const char* where);

// Largest description file read (the shipped ones are a few KiB): more is refused before it is
// parsed, as every value read costs about a hundred bytes of memory.
inline constexpr std::size_t max_json_file = 1u << 20;

// The whole file, or false with "file: why" in `message` (it cannot be opened or read, is not a
// file on a disk, or is too large).
bool read_json_file(const std::string& path, const char* what, std::string& text,
                    std::string& message);

// "file:line:column: path: what" for an error in the file whose document is `root` (the parts
// that are known).
std::string located_message(const std::string& file, const json_error& e, const json_value& root);

// A key or name of the file as a message quotes it: in double quotes, bytes that are not
// printable ASCII as \xHH, cut after 40 characters.
std::string quoted(const std::string& text);

}  // namespace simvisa
