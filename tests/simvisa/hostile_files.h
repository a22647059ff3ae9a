#pragma once
// Generated device and configuration files for the simulation library's hostile-input test:
// a valid document is generated as a tree, written out with random layout (recording where each
// value stands and its key path), then spoilt in one way whose place is known: a value of the
// wrong type, out of range or too large for a double, a member the format does not define, a
// stray character between tokens, bytes that are not UTF-8 inside a string, nesting too deep;
// or cut anywhere, or replaced by noise.
#include <string>
#include <vector>

#include "fuzz_random.h"

namespace hostile {

enum json_kind : unsigned {
    k_null = 1,
    k_bool = 2,
    k_number = 4,
    k_string = 8,
    k_array = 16,
    k_object = 32,
    k_any = 63
};

struct node {
    json_kind kind = k_null;
    std::string text;  // the literal of a scalar, as written
    std::vector<std::pair<std::string, node>> members;
    std::vector<node> items;
    unsigned allowed = 0;                   // kinds the format takes here
    std::vector<std::string> out_of_range;  // literals the format refuses here

    // Filled by write():
    std::size_t offset = 0;
    std::string path;
    int depth = 0;
};

inline node scalar(json_kind kind, std::string text, std::vector<std::string> bad = {})
{
    node n;
    n.kind = kind;
    n.text = std::move(text);
    n.allowed = kind;
    n.out_of_range = std::move(bad);
    return n;
}

inline node object(std::vector<std::pair<std::string, node>> members)
{
    node n;
    n.kind = k_object;
    n.allowed = k_object;
    n.members = std::move(members);
    return n;
}

inline node array(std::vector<node> items)
{
    node n;
    n.kind = k_array;
    n.allowed = k_array;
    n.items = std::move(items);
    return n;
}

// Plain printable ASCII without quotes or backslashes, so offsets inside it are characters.
inline std::string plain_text(fuzz::random& r, std::size_t least, std::size_t most)
{
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                     "0123456789 :;?*+-=,.()[]{}<>!#$%&'/|~^_@";
    std::string s(least + r.below(most - least + 1), ' ');
    for (char& c : s)
        c = kChars[r.below(sizeof kChars - 1)];
    return s;
}

inline std::string quote(const std::string& s)
{
    return "\"" + s + "\"";
}

inline node text_value(fuzz::random& r, std::size_t least = 0, std::size_t most = 20)
{
    return scalar(k_string, quote(plain_text(r, least, most)));
}

inline node integer(long long value, std::vector<std::string> bad)
{
    return scalar(k_number, std::to_string(value), std::move(bad));
}

// Members chosen at random among the optional ones.
inline void maybe(fuzz::random& r, std::vector<std::pair<std::string, node>>& members,
                  const char* key, node value)
{
    if (r.one_in(2))
        members.emplace_back(key, std::move(value));
}

inline node line_settings(fuzz::random& r)
{
    static constexpr const char* kParity[] = {"none", "odd", "even", "mark", "space"};
    static constexpr const char* kStop[] = {"1", "1.5", "2", "1.0", "2e0"};
    std::vector<std::pair<std::string, node>> m;
    maybe(r, m, "baud",
          integer(r.between(1, 4294967295LL), {"0", "-9600", "4294967296", "9600.5"}));
    maybe(r, m, "data_bits", integer(r.between(5, 8), {"4", "9", "-8", "7.5"}));
    maybe(r, m, "parity",
          scalar(k_string, quote(r.pick(kParity)), {"\"often\"", "\"None\"", "\"\""}));
    maybe(r, m, "stop_bits", scalar(k_number, r.pick(kStop), {"3", "0", "1.25", "-1"}));
    return object(std::move(m));
}

inline node device_document(fuzz::random& r)
{
    std::vector<std::pair<std::string, node>> m;
    m.emplace_back("name", text_value(r));
    maybe(r, m, "identity", text_value(r));
    maybe(r, m, "line", line_settings(r));
    if (r.one_in(2)) {
        std::vector<std::pair<std::string, node>> t;
        maybe(r, t, "input", scalar(k_string, quote(r.one_in(2) ? "\\n" : "\\r\\n"), {"\"\""}));
        maybe(r, t, "output", scalar(k_string, quote(r.one_in(2) ? "\\n" : "\\r\\n"), {"\"\""}));
        m.emplace_back("terminators", object(std::move(t)));
    }
    if (r.one_in(2)) {
        std::vector<node> dialogues;
        for (std::size_t i = r.below(4); i; --i) {
            std::vector<std::pair<std::string, node>> d;
            d.emplace_back("query", text_value(r, 1, 12));
            maybe(r, d, "response", text_value(r));
            maybe(r, d, "delay_ms", integer(r.between(0, 600000), {"-1", "600001", "0.5"}));
            dialogues.push_back(object(std::move(d)));
        }
        m.emplace_back("dialogues", array(std::move(dialogues)));
    }
    if (r.one_in(2)) {
        std::vector<node> properties;
        for (std::size_t i = r.below(4); i; --i) {
            std::vector<std::pair<std::string, node>> p;
            p.emplace_back("name", scalar(k_string, quote("p" + std::to_string(i))));
            p.emplace_back(r.one_in(2) ? "get" : "set", text_value(r, 1, 10));
            switch (r.below(3)) {
            case 0: {  // a choice
                std::vector<node> choices;
                for (std::size_t c = 1 + r.below(4); c; --c)
                    choices.push_back(scalar(k_string, quote("C" + std::to_string(c))));
                node def = scalar(k_string, quote("c1"), {"\"C9\"", "\"\""});
                def.allowed = k_string | k_number;
                p.emplace_back("default", std::move(def));
                p.emplace_back("choices", array(std::move(choices)));
                break;
            }
            case 1: {  // a number in a range
                const long long lo = r.between(-100, 100), hi = lo + r.between(0, 1000);
                node def = integer(lo + r.between(0, hi - lo),
                                   {std::to_string(hi + 1), std::to_string(lo - 1), "\"x\""});
                def.allowed = k_string | k_number;
                p.emplace_back("type", scalar(k_string, quote(r.one_in(2) ? "integer" : "real"),
                                              {"\"float\"", "\"Integer\""}));
                p.emplace_back("min", integer(lo, {}));
                p.emplace_back("max", integer(hi, {}));
                p.emplace_back("default", std::move(def));
                break;
            }
            default: {
                node def = text_value(r);
                def.allowed = k_string | k_number;
                p.emplace_back("default", std::move(def));
            }
            }
            properties.push_back(object(std::move(p)));
        }
        m.emplace_back("properties", array(std::move(properties)));
    }
    if (r.one_in(2)) {
        std::vector<std::pair<std::string, node>> q;
        maybe(r, q, "query", text_value(r, 1, 10));
        maybe(r, q, "size", integer(r.between(1, 1000), {"0", "1001", "-5"}));
        m.emplace_back("error_queue", object(std::move(q)));
    }
    if (r.one_in(2)) {
        std::vector<std::pair<std::string, node>> t;
        maybe(r, t, "response", text_value(r));
        maybe(r, t, "delay_ms", integer(r.between(0, 600000), {"600001", "-3"}));
        m.emplace_back("trigger", object(std::move(t)));
    }
    if (r.one_in(2)) {
        std::vector<std::pair<std::string, node>> modem;
        for (const char* key : {"cts", "dsr", "dcd", "ri"})
            maybe(r, modem, key, integer(r.between(-1, 1), {"2", "-2", "0.5"}));
        m.emplace_back("modem", object(std::move(modem)));
    }
    // Any order: the format does not care.
    for (std::size_t i = m.size(); i > 1; --i)
        std::swap(m[i - 1], m[r.below(i)]);
    return object(std::move(m));
}

inline node configuration_document(fuzz::random& r)
{
    std::vector<node> ports;
    const long long first = r.between(0, 65000);
    for (std::size_t i = r.below(5); i; --i) {
        std::vector<std::pair<std::string, node>> p;
        p.emplace_back("number",
                       integer(first + static_cast<long long>(i), {"-1", "65536", "1.5", "1e10"}));
        switch (r.below(3)) {
        case 0:
            p.emplace_back("device", scalar(k_string, quote("devices/" + plain_text(r, 1, 8))));
            break;
        case 1:
            p.emplace_back("com", scalar(k_string, quote("COM" + std::to_string(r.below(200)))));
            break;
        default:
            break;
        }
        maybe(r, p, "line", line_settings(r));
        ports.push_back(object(std::move(p)));
    }
    std::vector<std::pair<std::string, node>> m;
    node comment = text_value(r);
    comment.allowed = k_any;  // read by no one
    maybe(r, m, "comment", std::move(comment));
    m.emplace_back("ports", array(std::move(ports)));
    return object(std::move(m));
}

// A document written out with random layout; every value's offset, key path and depth are
// recorded, and so are the places between tokens.
struct written {
    std::string text;
    std::vector<std::size_t> between;  // offsets where a stray character breaks the syntax
};

inline void append_key(std::string& path, const std::string& key)
{
    if (!path.empty())
        path += '.';
    path += key;
}

inline void write(node& n, fuzz::random& r, written& w, const std::string& path, int depth)
{
    const auto space = [&] {
        switch (r.below(6)) {
        case 0:
            w.text += "\n" + std::string(r.below(8), ' ');
            break;
        case 1:
            w.text += r.one_in(2) ? "\t" : "\r\n ";
            break;
        case 2:
            w.text += ' ';
            break;
        default:
            break;
        }
    };
    n.offset = w.text.size();
    n.path = path;
    n.depth = depth;
    w.between.push_back(n.offset);
    switch (n.kind) {
    case k_object:
        w.text += '{';
        for (std::size_t i = 0; i < n.members.size(); ++i) {
            space();
            w.text += quote(n.members[i].first);
            space();
            w.text += ':';
            space();
            std::string member_path = path;
            append_key(member_path, n.members[i].first);
            write(n.members[i].second, r, w, member_path, depth + 1);
            w.between.push_back(w.text.size());
            space();
            if (i + 1 < n.members.size())
                w.text += ',';
        }
        space();
        w.text += '}';
        break;
    case k_array:
        w.text += '[';
        for (std::size_t i = 0; i < n.items.size(); ++i) {
            space();
            write(n.items[i], r, w, path + "[" + std::to_string(i) + "]", depth + 1);
            w.between.push_back(w.text.size());
            space();
            if (i + 1 < n.items.size())
                w.text += ',';
        }
        space();
        w.text += ']';
        break;
    default:
        w.text += n.text;
    }
}

inline void collect(node& n, std::vector<node*>& all)
{
    all.push_back(&n);
    for (auto& [key, member] : n.members)
        collect(member, all);
    for (node& item : n.items)
        collect(item, all);
}

// 1-based line and column (in characters) of a byte offset.
inline std::pair<int, int> place_of(const std::string& text, std::size_t offset)
{
    int line = 1, column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n')
            line = 1 + line, column = 1;
        else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            ++column;
    }
    return {line, column};
}

struct file_case {
    std::string text;
    const char* shape = "";
    bool valid = false;
    // For a spoilt file, what the message must hold; a place of 0 means "anywhere in the file".
    int line = 0, column = 0;
    std::string path;  // the key path the message names, when path_known and not empty
    bool path_known = false;
    std::string what;  // a part of the message's explanation (empty: not checked)
};

namespace detail {

// A literal of a kind the format does not take at `n`.
inline std::string wrong_kind(fuzz::random& r, const node& n)
{
    static constexpr std::pair<json_kind, const char*> kLiterals[] = {
        {k_null, "null"},   {k_bool, "true"},        {k_bool, "false"}, {k_number, "42"},
        {k_number, "-1.5"}, {k_string, "\"x\""},     {k_array, "[]"},   {k_array, "[1, \"a\"]"},
        {k_object, "{}"},   {k_object, "{\"a\": 1}"}};
    for (;;) {
        const auto& [kind, literal] = r.pick(kLiterals);
        if (!(n.allowed & kind))
            return literal;
    }
}

inline void replace(file_case& c, const node& n, std::size_t old_length, const std::string& literal)
{
    c.text.replace(n.offset, old_length, literal);
}

// The length of the value written at `n` (its offset to the end of its text).
inline std::size_t written_length(const std::string& text, const node& n)
{
    // Scalars are written as their literal; containers end at their matching bracket.
    if (n.kind != k_object && n.kind != k_array)
        return n.text.size();
    int level = 0;
    bool in_string = false;
    for (std::size_t i = n.offset; i < text.size(); ++i) {
        const char ch = text[i];
        if (in_string) {
            if (ch == '\\')
                ++i;
            else if (ch == '"')
                in_string = false;
        } else if (ch == '"') {
            in_string = true;
        } else if (ch == '{' || ch == '[') {
            ++level;
        } else if ((ch == '}' || ch == ']') && --level == 0) {
            return i + 1 - n.offset;
        }
    }
    return text.size() - n.offset;
}

}  // namespace detail

// Case `n`: a device file, or a configuration file when `configuration`.
inline file_case generate_file(long long case_number, bool configuration)
{
    using namespace detail;
    fuzz::random r(case_number);
    node root = configuration ? configuration_document(r) : device_document(r);
    written w;
    write(root, r, w, "", 0);
    std::vector<node*> all;
    collect(root, all);
    file_case c;
    c.text = w.text;
    const auto at = [&](std::size_t offset) {
        const auto [line, column] = place_of(c.text, offset);
        c.line = line;
        c.column = column;
    };
    switch (r.below(12)) {
    case 0:
        c.valid = true;
        c.shape = "valid";
        if (r.one_in(4)) {
            c.text = "\xEF\xBB\xBF" + c.text;
            c.shape = "valid, with a byte order mark";
        }
        return c;
    case 1: {
        std::vector<node*> typed;  // a value the format takes in any kind is never wrong
        for (node* n : all)
            if (n->allowed != k_any)
                typed.push_back(n);
        const node& n = *typed[r.below(typed.size())];
        c.shape = "wrong type";
        at(n.offset);
        c.path = n.path;
        c.path_known = true;
        c.what = "must be";
        replace(c, n, written_length(c.text, n), wrong_kind(r, n));
        return c;
    }
    case 2: {
        std::vector<node*> ranged;
        for (node* n : all)
            if (!n->out_of_range.empty())
                ranged.push_back(n);
        if (ranged.empty())
            break;
        const node& n = *ranged[r.below(ranged.size())];
        c.shape = "out of range";
        at(n.offset);
        c.path = n.path;
        c.path_known = true;
        replace(c, n, n.text.size(), n.out_of_range[r.below(n.out_of_range.size())]);
        return c;
    }
    case 3: {
        std::vector<node*> numbers;
        for (node* n : all)
            if (n->kind == k_number)
                numbers.push_back(n);
        if (numbers.empty())
            break;
        const node& n = *numbers[r.below(numbers.size())];
        static constexpr const char* kHuge[] = {"1e999", "-1e400", "1e309"};
        c.shape = "too large for a double";
        at(n.offset);
        c.path = n.path;
        c.path_known = true;
        c.what = "number out of range";
        replace(c, n, n.text.size(),
                r.one_in(2) ? r.pick(kHuge) : std::string(310 + r.below(2000), '9'));
        return c;
    }
    case 4: {
        std::vector<node*> objects;
        for (node* n : all)
            if (n->kind == k_object && !n->members.empty())
                objects.push_back(n);
        if (objects.empty())
            break;
        const node& n = *objects[r.below(objects.size())];
        const std::string& key = n.members[r.below(n.members.size())].first;
        static constexpr const char* kSpoilt[] = {"x", "_", "s", "2"};
        const std::string misspelt =
            r.one_in(2) ? key + r.pick(kSpoilt)
                        : std::string(1, static_cast<char>(key[0] ^ 0x20)) + key.substr(1);
        // Put first, so that nothing else the object holds is read before it.
        const std::string member = quote(misspelt) + ": 1, ";
        c.text.insert(n.offset + 1, member);
        at(n.offset + 1 + misspelt.size() + 4);
        c.path = n.path;
        append_key(c.path, misspelt);
        c.path_known = true;
        c.what = "unknown member";
        return c;
    }
    case 5: {
        const std::size_t offset = w.between[r.below(w.between.size())];
        static constexpr char kStray[] = {'x',    '#',    '@',  ';',    '=',   '\'',
                                          '\x80', '\xFF', '\0', '\x01', '\x7F'};
        c.text.insert(offset, 1, r.pick(kStray));
        c.shape = "stray character";
        at(offset);
        return c;
    }
    case 6: {
        std::vector<node*> strings;
        for (node* n : all)
            if (n->kind == k_string && n->text.find('\\') == std::string::npos)
                strings.push_back(n);
        if (strings.empty())
            break;
        const node& n = *strings[r.below(strings.size())];
        static constexpr const char* kNotUtf8[] = {"\x80",     "\xBF",         "\xC0\xAF",
                                                   "\xC1\x81", "\xED\xA0\x80", "\xF5\x80\x80\x80",
                                                   "\xFF",     "\xE2\x82",     "\xF0\x9F\x98"};
        const std::size_t offset = n.offset + 1 + r.below(n.text.size() - 1);
        c.text.insert(offset, r.pick(kNotUtf8));
        c.shape = "not UTF-8";
        at(offset);
        c.path = n.path;
        c.path_known = true;
        c.what = "invalid UTF-8";
        return c;
    }
    case 7: {
        const node& n = *all[r.below(all.size())];
        const std::size_t levels = r.one_in(2) ? 66 + r.below(10) : r.length(200000) + 66;
        c.shape = "nesting too deep";
        replace(c, n, written_length(c.text, n),
                std::string(levels, '[') + std::string(levels, ']'));
        // The first bracket beyond the 64 levels the reader takes.
        at(n.offset + static_cast<std::size_t>(65 - n.depth));
        c.what = "nesting too deep";
        return c;
    }
    case 8: {
        const std::size_t keep = r.below(c.text.size());
        c.text.resize(keep);
        c.shape = "cut";
        return c;
    }
    case 9: {
        static constexpr char kJson[] = "{}[]\":,\n 0-etrufalsn\\";
        std::string noise(r.length(4096), '\0');
        for (char& ch : noise)
            ch = r.one_in(2) ? kJson[r.below(sizeof kJson - 1)] : static_cast<char>(r.below(256));
        c.text = noise;
        c.shape = "noise";
        return c;
    }
    case 10: {
        std::string utf16 = "\xFF\xFE";
        for (char ch : c.text)
            utf16 += std::string{ch, '\0'};
        c.text = utf16;
        c.shape = "UTF-16";
        c.line = c.column = 1;
        c.what = "UTF-16";
        return c;
    }
    default:
        break;
    }
    // Nothing fitted: the document with its last character doubled or removed.
    c.text.back() == '}' ? c.text.pop_back() : c.text.push_back('}');
    c.shape = "last bracket";
    return c;
}

}  // namespace hostile
