// A large seeded set of generated option strings applied to open sessions: valid items in many
// spellings, every limit plus and minus one, stray separators and '=', spaces, tabs, long runs,
// non-ASCII characters and embedded NULs. Each outcome (applied, rejected with "No valid
// conversion.", refused with message 124) and the attributes that reached VISA must agree with
// the reading of the grammar below, which is written here independently of the server's.
#include "option_outcome.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <random>

using namespace mrv;
using namespace mrv::test;

namespace {

constexpr unsigned kSeed = 20261205;
constexpr int kStrings = 5000;

// ---- the model ----

struct key_info {
    const char* name;
    unsigned long attribute;
    long low, high;            // the range the library accepts
    std::vector<long> values;  // numbers the generator writes for this key
};

const long U32 = 0x7FFFFFFF;  // the largest value an option string can give
const std::vector<key_info> keys = {
    {"TIMEOUT", VI_ATTR_TMO_VALUE, 0, U32, {0, 1, 2000, 10000, U32}},
    {"IOPROTOCOL", VI_ATTR_IO_PROT, 1, 4, {1, 4, 2}},  // 1 or 4 (checked below)
    {"SENDENDENABLED", VI_ATTR_SEND_END_EN, 0, 1, {0, 1, 2}},
    {"TERMINATIONCHARACTER", VI_ATTR_TERMCHAR, 0, 255, {0, 10, 13, 255}},
    {"TERMINATIONCHARACTERENABLED", VI_ATTR_TERMCHAR_EN, 0, 1, {0, 1, 2}},
    {"BAUDRATE", VI_ATTR_ASRL_BAUD, 1, U32, {0, 300, 9600, 19200, 115200, U32}},
    {"DATABITS", VI_ATTR_ASRL_DATA_BITS, 5, 8, {4, 5, 7, 8, 9}},
    {"DATATERMINALREADYSTATE", VI_ATTR_ASRL_DTR_STATE, 0, 1, {0, 1, 2}},
    {"ENDIN", VI_ATTR_ASRL_END_IN, 0, 2, {0, 1, 2, 3}},
    {"ENDOUT", VI_ATTR_ASRL_END_OUT, 0, 3, {0, 1, 3, 4}},
    {"FLOWCONTROL", VI_ATTR_ASRL_FLOW_CNTRL, 0, 7, {0, 1, 2, 3, 4, 8}},
    {"PARITY", VI_ATTR_ASRL_PARITY, 0, 4, {0, 2, 4, 5}},
    {"REQUESTTOSENDSTATE", VI_ATTR_ASRL_RTS_STATE, 0, 1, {0, 1, 2}},
    {"STOPBITS", VI_ATTR_ASRL_STOP_BITS, 10, 20, {10, 15, 20, 11}},  // 10, 15 or 20
    {"REPLACEMENTCHARACTER", VI_ATTR_ASRL_REPLACE_CHAR, 0, 255, {0, 63, 255}},
    {"XONCHARACTER", VI_ATTR_ASRL_XON_CHAR, 0, 255, {0, 17, 255}},
    {"XOFFCHARACTER", VI_ATTR_ASRL_XOFF_CHAR, 0, 255, {0, 19, 255}},
};

const std::map<std::string, long> names = {
    {"ASRL_FLOW_NONE", 0},
    {"ASRL_FLOW_XON_XOFF", 1},
    {"ASRL_FLOW_RTS_CTS", 2},
    {"ASRL_FLOW_DTR_DSR", 4},
    {"ASRL_PAR_NONE", 0},
    {"ASRL_PAR_ODD", 1},
    {"ASRL_PAR_EVEN", 2},
    {"ASRL_PAR_MARK", 3},
    {"ASRL_PAR_SPACE", 4},
    {"ASRL_STOP_ONE", 10},
    {"ASRL_STOP_TWO", 20},
    {"ASRL_END_NONE", 0},
    {"ASRL_END_LAST_BIT", 1},
    {"ASRL_END_TERMCHAR", 2},
    {"ASRL_END_BREAK", 3},
    {"TRUE", 1},
    {"FALSE", 0},
};

bool accepted(const key_info& k, long v)
{
    if (k.attribute == VI_ATTR_IO_PROT)
        return v == 1 || v == 4;
    if (k.attribute == VI_ATTR_ASRL_STOP_BITS)
        return v == 10 || v == 15 || v == 20;
    return v >= k.low && v <= k.high;
}

std::string ascii_upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string without_outer_spaces(const std::string& s)
{
    std::size_t a = 0, b = s.size();
    while (a < b && s[a] == ' ')
        ++a;
    while (b > a && s[b - 1] == ' ')
        --b;
    return s.substr(a, b - a);
}

struct expectation {
    enum { applied, rejected, refused } outcome = applied;
    std::string refused_key;
    std::vector<std::string> sets;
};

// The grammar read from the option string's narrow form.
expectation expect_for(const std::string& s)
{
    expectation e;
    std::size_t at = 0;
    while (at < s.size() && s[at] == ' ')
        ++at;
    while (s.find('=', at) != std::string::npos) {
        std::size_t semicolon = s.find(';', at);
        const bool last = semicolon == std::string::npos;
        if (last)
            semicolon = s.size();
        if (semicolon == at || semicolon - at > 99)
            break;
        const std::string item = s.substr(at, semicolon - at);
        if (item.find('=') != std::string::npos) {
            const std::string trimmed = without_outer_spaces(item);
            const std::size_t eq = trimmed.find('=');
            const std::string key = without_outer_spaces(trimmed.substr(0, eq));
            const std::string value = without_outer_spaces(trimmed.substr(eq + 1));
            if (eq >= 1 && eq <= 49 && value.size() <= 49) {
                const std::string upper_key = ascii_upper(key);
                const key_info* k = nullptr;
                for (const key_info& candidate : keys)
                    if (upper_key == candidate.name)
                        k = &candidate;
                if (!k) {
                    e.outcome = expectation::rejected;
                    return e;
                }
                long number = std::strtol(value.c_str(), nullptr, 10);
                if (number == 0 && value.find_first_not_of("0 ") != std::string::npos) {
                    const auto name = names.find(ascii_upper(value));
                    if (name == names.end()) {
                        e.outcome = expectation::rejected;
                        return e;
                    }
                    number = name->second;
                }
                e.sets.push_back(attribute_set(k->attribute, number));
                if (!accepted(*k, number)) {
                    e.outcome = expectation::refused;
                    e.refused_key = key;
                    return e;
                }
            }
        }
        if (last)
            break;
        at = semicolon + 1;
        while (at < s.size() && s[at] == ' ')
            ++at;
    }
    return e;
}

// ---- the generator ----

class generator {
public:
    explicit generator(unsigned seed) : rng_(seed) {}

    std::wstring option_string()
    {
        std::wstring s = spaces();
        const int items = pick(0, 6);
        for (int i = 0; i < items; ++i) {
            if (i)
                s += separator();
            s += item();
        }
        if (chance(10))
            s += L";";
        if (chance(4))
            s.insert(static_cast<std::size_t>(pick(0, static_cast<int>(s.size()))), 1, L'\0');
        return s;
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return pick(1, 100) <= percent; }
    template <class C>
    const auto& any(const C& c)
    {
        return c[static_cast<std::size_t>(pick(0, static_cast<int>(c.size()) - 1))];
    }

    std::wstring spaces()
    {
        return std::wstring(static_cast<std::size_t>(chance(40) ? pick(1, 3) : 0), L' ');
    }
    std::wstring separator()
    {
        static const std::vector<std::wstring> seps = {L";", L" ; ", L";  ", L"\t;", L" ;"};
        return any(seps);
    }
    std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }
    std::wstring mixed_case(const std::string& s)
    {
        std::wstring r;
        for (char c : s)
            r += static_cast<wchar_t>(chance(50) && c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return r;
    }
    std::wstring foreign()
    {
        static const std::vector<std::wstring> f = {L"\u00e9", L"\u00fc", L"\u4e2d", L"\u00df"};
        return any(f);
    }

    std::wstring value_for(const key_info& k)
    {
        const long n = any(k.values);
        switch (pick(0, 9)) {
        case 0: {
            auto name = names.begin();
            std::advance(name, pick(0, static_cast<int>(names.size()) - 1));
            return mixed_case(name->first);
        }
        case 1:
            return n == 0 ? L"000" : L"+" + std::to_wstring(n);
        case 2:
            return std::to_wstring(n) + L"baud";
        case 3:
            return L"\t" + std::to_wstring(n);
        case 4:
            return n == 0 ? std::wstring(pick(0, 1) ? L"" : L"0 0") : L"00" + std::to_wstring(n);
        case 5:
            return n == U32 ? L"99999999999" : std::to_wstring(n);
        default:
            return std::to_wstring(n);
        }
    }

    std::wstring item()
    {
        const key_info& k = any(keys);
        const std::wstring key = mixed_case(k.name);
        switch (pick(0, 19)) {
        case 0:
            return L"Color=3";  // unknown key
        case 1:
            return key + L"=" + (chance(50) ? L"0x11" : L"-0");  // text no table holds
        case 2:
            return key + L" = bad" + foreign();  // non-ASCII value
        case 3:
            return L"junk" + foreign();  // no '='
        case 4:
            return chance(50) ? L"=" : L"=5";  // no key
        case 5:
            return L"";  // an empty item ends the reading
        case 6: {        // key of 49 or 50 characters
            const std::size_t pad = 49 - key.size() + static_cast<std::size_t>(pick(-1, 1));
            return key + std::wstring(pad, L' ') + L"=" + value_for(k);
        }
        case 7: {  // item of 98 to 101 characters
            const std::wstring v = value_for(k);
            const std::size_t total = static_cast<std::size_t>(pick(98, 101));
            const std::size_t fixed = key.size() + 1 + v.size();
            return key + L"=" + std::wstring(total > fixed ? total - fixed : 0, L' ') + v;
        }
        case 8: {  // value of 48 to 51 characters
            const std::wstring digits = std::to_wstring(any(k.values));
            return key + L"=" + digits +
                   std::wstring(static_cast<std::size_t>(pick(48, 51)) - digits.size(), L'x');
        }
        case 9:
            return std::wstring(static_cast<std::size_t>(pick(100, 300)), L'=');  // long run
        case 10:
            return L"\t" + key + L"=" + value_for(k);  // a tab is part of the key
        case 11:
            return key + L"=" + value_for(k) + L"=" + value_for(k);
        default:
            return spaces() + key + spaces() + L"=" + spaces() + value_for(k) + spaces();
        }
    }

    std::mt19937 rng_;
};

std::string narrow_form(const std::wstring& s)
{
    // The server reads the string up to its first NUL, in the ANSI code page.
    const std::wstring head(s.c_str());
    if (head.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, head.c_str(), static_cast<int>(head.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string r(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, head.c_str(), static_cast<int>(head.size()), r.data(), n,
                        nullptr, nullptr);
    return r;
}

std::string printable(const std::wstring& s)
{
    std::string r;
    for (wchar_t c : s) {
        if (c >= 32 && c < 127)
            r += static_cast<char>(c);
        else {
            char b[12];
            std::snprintf(b, sizeof b, "\\u%04X", static_cast<unsigned>(c));
            r += b;
        }
    }
    return r;
}

}  // namespace

TEST(OptionStringFuzz, GeneratedStringsAgreeWithTheGrammar)
{
    com_apartment com;
    auto keep = open_session(L"ASRL2::INSTR");  // keeps the library loaded
    ASSERT_TRUE(keep);
    VARIANT zero;
    VariantInit(&zero);
    V_VT(&zero) = VT_I4;
    V_I4(&zero) = 0;
    const HRESULT refusal = keep->SetAttribute(VI_ATTR_ASRL_BAUD, zero);
    ASSERT_TRUE(FAILED(refusal));
    clear_error_info();

    generator gen(kSeed);
    int failures = 0, counts[3] = {};
    for (int i = 0; i < kStrings && failures < 10; ++i) {
        const std::wstring options = gen.option_string();
        const expectation e = expect_for(narrow_form(options));
        const init_outcome o = init_with(options.c_str(), options.size());
        ++counts[e.outcome];
        bool ok = o.sets == e.sets;
        switch (e.outcome) {
        case expectation::applied:
            ok = ok && o.hr == S_OK && o.open;
            break;
        case expectation::rejected:
            ok = ok && o.hr == E_INVALIDARG && !o.open &&
                 o.error.description == "No valid conversion." && o.error.help_context == 1015;
            break;
        case expectation::refused:
            ok = ok && o.hr == refusal && o.open &&
                 o.error.description.rfind(
                     "While Processing the Intialization parameter \"" + e.refused_key + "\"", 0) ==
                     0;
            break;
        }
        if (!ok) {
            ++failures;
            ADD_FAILURE() << "seed " << kSeed << " string " << i << ": \"" << printable(options)
                          << "\"\n expected outcome " << e.outcome << ", got " << hex(o.hr)
                          << (o.open ? " open" : " closed") << " \"" << o.error.description
                          << "\"\n expected sets " << ::testing::PrintToString(e.sets)
                          << "\n got sets " << ::testing::PrintToString(o.sets);
        }
    }
    // The generator reaches every outcome often.
    EXPECT_GT(counts[expectation::applied], kStrings / 10);
    EXPECT_GT(counts[expectation::rejected], kStrings / 10);
    EXPECT_GT(counts[expectation::refused], kStrings / 20);
}
