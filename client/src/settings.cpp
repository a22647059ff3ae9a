#include "settings.h"

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <type_traits>

#include "text_escapes.h"
#include "com/unique_any.h"
#include "words.h"

namespace asrlcon {

namespace {

// The interface and value type of a property accessor, from its member pointer.
template <class M>
struct accessor;
template <class I, class A>
struct accessor<HRESULT (STDMETHODCALLTYPE I::*)(A)> {
    using iface = I;
    using arg = A;
};

template <auto Get>
HRESULT get_value(const asrl_session& s, long& out)
{
    using a = accessor<decltype(Get)>;
    std::remove_pointer_t<typename a::arg> v{};
    const HRESULT hr = (s.get<typename a::iface>()->*Get)(&v);
    out = static_cast<long>(v);
    return hr;
}

template <auto Put>
HRESULT put_value(const asrl_session& s, long v)
{
    using a = accessor<decltype(Put)>;
    return (s.get<typename a::iface>()->*Put)(static_cast<typename a::arg>(v));
}

template <auto Get>
HRESULT get_text(const asrl_session& s, std::wstring& out)
{
    using a = accessor<decltype(Get)>;
    mrv::bstr b;
    const HRESULT hr = (s.get<typename a::iface>()->*Get)(b.put());
    out.assign(b.get() ? b.get() : L"", b.get() ? SysStringLen(b.get()) : 0);
    return hr;
}

constexpr named_value parity_names[] = {{L"none", ASRL_PAR_NONE},
                                        {L"odd", ASRL_PAR_ODD},
                                        {L"even", ASRL_PAR_EVEN},
                                        {L"mark", ASRL_PAR_MARK},
                                        {L"space", ASRL_PAR_SPACE}};
constexpr named_value stop_bit_names[] = {
    {L"1", ASRL_STOP_ONE}, {L"1.5", ASRL_STOP_ONE5}, {L"2", ASRL_STOP_TWO}};
constexpr named_value flow_names[] = {{L"none", ASRL_FLOW_NONE},
                                      {L"xonxoff", ASRL_FLOW_XON_XOFF},
                                      {L"rtscts", ASRL_FLOW_RTS_CTS},
                                      {L"dtrdsr", ASRL_FLOW_DTR_DSR}};
constexpr named_value end_names[] = {{L"none", ASRL_END_NONE},
                                     {L"lastbit", ASRL_END_LAST_BIT},
                                     {L"termchar", ASRL_END_TERMCHAR},
                                     {L"break", ASRL_END_BREAK}};
constexpr named_value line_names[] = {{L"on", ASRL_STATE_ASSERTED},
                                      {L"off", ASRL_STATE_UNASSERTED},
                                      {L"unknown", ASRL_STATE_UNKNOWN},
                                      {L"asserted", ASRL_STATE_ASSERTED},
                                      {L"unasserted", ASRL_STATE_UNASSERTED}};
constexpr named_value protocol_names[] = {{L"normal", IO_NORMAL},
                                          {L"fdc", IO_FDC},
                                          {L"hs488", IO_HS488},
                                          {L"4882strs", IO_PROT_4882_STRS},
                                          {L"usbtmc", IO_USBTMC_VENDOR}};
constexpr named_value lock_names[] = {
    {L"none", NO_LOCK}, {L"exclusive", EXCLUSIVE_LOCK}, {L"shared", SHARED_LOCK}};

using k = value_kind;

// A row of the table: the accessors named once, by member.
template <auto Get, auto Put>
constexpr setting rw(const wchar_t* name, value_kind kind, std::span<const named_value> names = {})
{
    return {name, kind, names, &get_value<Get>, &put_value<Put>};
}
template <auto Get>
constexpr setting ro(const wchar_t* name, value_kind kind, std::span<const named_value> names = {})
{
    return {name, kind, names, &get_value<Get>, nullptr};
}

using S = ISerial;
using B = IBaseMessage;
using V = IVisaSession;

const setting table[] = {
    rw<&S::get_BaudRate, &S::put_BaudRate>(L"baud", k::number),
    rw<&S::get_DataBits, &S::put_DataBits>(L"databits", k::number),
    rw<&S::get_Parity, &S::put_Parity>(L"parity", k::choice, parity_names),
    rw<&S::get_StopBits, &S::put_StopBits>(L"stopbits", k::choice, stop_bit_names),
    rw<&S::get_FlowControl, &S::put_FlowControl>(L"flow", k::flags, flow_names),
    rw<&S::get_EndIn, &S::put_EndIn>(L"endin", k::choice, end_names),
    rw<&S::get_EndOut, &S::put_EndOut>(L"endout", k::choice, end_names),
    rw<&B::get_TerminationCharacter, &B::put_TerminationCharacter>(L"termchar", k::byte),
    rw<&B::get_TerminationCharacterEnabled, &B::put_TerminationCharacterEnabled>(L"termcharen",
                                                                                 k::boolean),
    rw<&B::get_SendEndEnabled, &B::put_SendEndEnabled>(L"sendend", k::boolean),
    rw<&B::get_IOProtocol, &B::put_IOProtocol>(L"ioprotocol", k::choice, protocol_names),
    rw<&V::get_Timeout, &V::put_Timeout>(L"timeout", k::number),
    rw<&S::get_DataTerminalReadyState, &S::put_DataTerminalReadyState>(L"dtr", k::choice,
                                                                       line_names),
    rw<&S::get_RequestToSendState, &S::put_RequestToSendState>(L"rts", k::choice, line_names),
    rw<&S::get_XONCharacter, &S::put_XONCharacter>(L"xonchar", k::byte),
    rw<&S::get_XOFFCharacter, &S::put_XOFFCharacter>(L"xoffchar", k::byte),
    rw<&S::get_ReplacementCharacter, &S::put_ReplacementCharacter>(L"replacechar", k::byte),
    ro<&S::get_ClearToSendState>(L"cts", k::choice, line_names),
    ro<&S::get_DataSetReadyState>(L"dsr", k::choice, line_names),
    ro<&S::get_DataCarrierDetectState>(L"dcd", k::choice, line_names),
    ro<&S::get_RingIndicatorState>(L"ri", k::choice, line_names),
    ro<&S::get_BytesAvailable>(L"available", k::number),
    ro<&V::get_LockState>(L"lockstate", k::choice, lock_names),
    ro<&V::get_HardwareInterfaceNumber>(L"intfnumber", k::number),
    ro<&V::get_HardwareInterfaceType>(L"intftype", k::number),
    ro<&V::get_SoftwareManufacturerID>(L"manfid", k::hex),
    ro<&V::get_ComponentVersion>(L"version", k::hex),
    ro<&V::get_SpecVersion>(L"specversion", k::hex),
};

const text_property text_table[] = {
    {L"resource", &get_text<&IVisaSession::get_ResourceName>},
    {L"sessiontype", &get_text<&IVisaSession::get_SessionType>},
    {L"progid", &get_text<&IVisaSession::get_ProgID>},
    {L"intfname", &get_text<&IVisaSession::get_HardwareInterfaceName>},
    {L"manufacturer", &get_text<&IVisaSession::get_SoftwareManufacturerName>},
    {L"options", &get_text<&IVisaSession::get_OptionString>},
};

std::optional<long> find_name(std::span<const named_value> names, std::wstring_view text)
{
    for (const auto& n : names)
        if (same_word(n.name, text))
            return n.value;
    return std::nullopt;
}

}  // namespace

std::span<const setting> settings()
{
    return table;
}
std::span<const text_property> text_properties()
{
    return text_table;
}

const setting* find_setting(std::wstring_view name)
{
    for (const auto& s : table)
        if (same_word(s.name, name))
            return &s;
    return nullptr;
}

std::optional<long> parse_number(std::wstring_view text)
{
    const std::wstring copy(text);
    if (copy.empty())
        return std::nullopt;
    wchar_t* end = nullptr;
    errno = 0;
    const long long v = std::wcstoll(copy.c_str(), &end, 0);
    if (*end != L'\0' || errno != 0 || v < -0x80000000LL || v > 0xFFFFFFFFLL)
        return std::nullopt;
    return static_cast<long>(v);
}

std::optional<long> parse_setting_value(const setting& s, std::wstring_view text)
{
    switch (s.kind) {
    case k::number:
    case k::hex:
        return parse_number(text);
    case k::byte: {
        if (auto n = parse_number(text))
            return *n >= 0 && *n <= 255 ? n : std::nullopt;
        auto c = unescape(text);
        if (c && c->size() == 1 && (*c)[0] <= 255)
            return static_cast<long>((*c)[0]);
        return std::nullopt;
    }
    case k::boolean:
        for (auto on : {L"on", L"true", L"yes", L"1"})
            if (same_word(text, on))
                return VARIANT_TRUE;
        for (auto off : {L"off", L"false", L"no", L"0"})
            if (same_word(text, off))
                return VARIANT_FALSE;
        return std::nullopt;
    case k::choice:
        if (auto v = find_name(s.names, text))
            return v;
        return parse_number(text);
    case k::flags: {
        long bits = 0;
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t plus = std::min(text.find(L'+', start), text.size());
            auto v = find_name(s.names, text.substr(start, plus - start));
            if (!v)
                return parse_number(text);
            bits |= *v;
            start = plus + 1;
        }
        return bits;
    }
    }
    return std::nullopt;
}

std::wstring format_setting_value(const setting& s, long value)
{
    wchar_t buf[32];
    switch (s.kind) {
    case k::number:
        return std::to_wstring(value);
    case k::hex:
        std::swprintf(buf, 32, L"0x%lX", value);
        return buf;
    case k::byte:
        std::swprintf(buf, 32, L"0x%02lX '", value & 0xFF);
        return buf + escape(std::wstring(1, static_cast<wchar_t>(value & 0xFF))) + L"'";
    case k::boolean:
        return value ? L"on" : L"off";
    case k::choice:
        for (const auto& n : s.names)
            if (n.value == value)
                return n.name;
        return std::to_wstring(value);
    case k::flags: {
        if (value == 0)
            return s.names[0].name;
        std::wstring out;
        long rest = value;
        for (const auto& n : s.names)
            if (n.value != 0 && (value & n.value) == n.value) {
                out += (out.empty() ? L"" : L"+") + std::wstring(n.name);
                rest &= ~n.value;
            }
        return rest ? std::to_wstring(value) : out;
    }
    }
    return std::to_wstring(value);
}

}  // namespace asrlcon
