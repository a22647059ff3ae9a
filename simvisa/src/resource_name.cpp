#include "resource_name.h"

#include <cctype>
#include <regex>

namespace simvisa {
namespace {

std::string upper(const char* s)
{
    std::string out;
    for (; *s; ++s)
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(*s)));
    return out;
}

bool starts_with(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

// Reads the decimal board number at `pos`; false when there is none or it is out of range.
bool board_number(const std::string& s, size_t& pos, unsigned& board)
{
    size_t start = pos;
    unsigned long v = 0;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
        v = v * 10 + static_cast<unsigned>(s[pos] - '0');
        if (v > 0xFFFF)
            return false;
        ++pos;
    }
    board = static_cast<unsigned>(v);
    return pos > start;
}

}  // namespace

ViStatus parse_resource_name(const char* text, resource_name& out)
{
    if (!text)
        return VI_ERROR_INV_RSRC_NAME;
    std::string s = upper(text);
    size_t pos = 0;
    unsigned board = 0;
    std::string alias;
    if (starts_with(s, "COM")) {
        pos = 3;
        if (!board_number(s, pos, board) || pos != s.size())
            return VI_ERROR_INV_RSRC_NAME;
        alias = "COM" + std::to_string(board);
    } else if (starts_with(s, "ASRL")) {
        pos = 4;
        if (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) &&
            !board_number(s, pos, board))
            return VI_ERROR_INV_RSRC_NAME;
        std::string rest = s.substr(pos);
        if (!rest.empty() && rest != "::INSTR")
            return VI_ERROR_INV_RSRC_NAME;
    } else {
        for (const char* other : {"GPIB", "VXI", "TCPIP", "USB", "PXI", "GPIB-VXI", "VXI-"})
            if (starts_with(s, other))
                return VI_ERROR_RSRC_NFOUND;
        return VI_ERROR_INV_RSRC_NAME;
    }
    out.board = static_cast<ViUInt16>(board);
    out.canonical = "ASRL" + std::to_string(board) + "::INSTR";
    out.alias = alias;
    return VI_SUCCESS;
}

ViStatus match_resources(const char* expr, const std::vector<std::string>& names,
                         std::vector<std::string>& matches)
{
    if (!expr || !*expr)
        return VI_ERROR_INV_EXPR;
    // Translate the VISA expression into an ECMAScript one: '?' is any character, '\' escapes
    // the next one, the operators * + [] [^] | () keep their meaning, everything else is literal.
    std::string re;
    for (const char* p = expr; *p; ++p) {
        char c = *p;
        switch (c) {
        case '?':
            re += '.';
            break;
        case '\\':
            if (!p[1])
                return VI_ERROR_INV_EXPR;
            ++p;
            if (!std::isalnum(static_cast<unsigned char>(*p)))
                re += '\\';
            re += *p;
            break;
        case '*':
        case '+':
        case '[':
        case ']':
        case '^':
        case '|':
        case '(':
        case ')':
            re += c;
            break;
        case '{':
        case '}':  // attribute filters on the found resources are not offered
            return VI_ERROR_INV_EXPR;
        default:
            if (std::isalnum(static_cast<unsigned char>(c)) || c == ':' || c == '_' || c == '-' ||
                c == ' ')
                re += c;
            else {
                re += '\\';
                re += c;
            }
        }
    }
    try {
        std::regex pattern(re, std::regex::ECMAScript | std::regex::icase);
        for (const auto& name : names)
            if (std::regex_match(name, pattern))
                matches.push_back(name);
    } catch (const std::regex_error&) {
        return VI_ERROR_INV_EXPR;
    }
    return VI_SUCCESS;
}

}  // namespace simvisa
