#include "servers/rs232/rs232_paramstring_reader.h"

#include <cstdio>
#include <locale>

#include "com/ansi_text.h"
#include "com/com_ptr.h"
#include "com/unique_any.h"
#include "com/variant.h"
#include "errors/loc_com_error.h"
#include "errors/resource_string.h"
#include "resources/string_ids.h"
#include "servers/rs232/rs232_svr.h"

namespace mrv {
namespace {

// Keys and names are matched after upper-casing through the global locale.
std::string upper(const std::string& s)
{
    const std::locale locale;
    std::string r(s);
    for (char& c : r)
        c = std::toupper(c, locale);
    return r;
}

// ---- rendering ----

enum class shown_as { number, boolean, end_name, flow_name, parity_name, stop_name };

// The names a rendered value may take; other values are written as numbers.
const enum_table& render_names(shown_as kind)
{
    static const enum_table end{{"ASRL_END_NONE", VI_ASRL_END_NONE},
                                {"ASRL_END_LAST_BIT", VI_ASRL_END_LAST_BIT},
                                {"ASRL_END_TERMCHAR", VI_ASRL_END_TERMCHAR},
                                {"ASRL_END_BREAK", VI_ASRL_END_BREAK}};
    static const enum_table flow{{"ASRL_FLOW_NONE", VI_ASRL_FLOW_NONE},
                                 {"ASRL_FLOW_XON_XOFF", VI_ASRL_FLOW_XON_XOFF},
                                 {"ASRL_FLOW_RTS_CTS", VI_ASRL_FLOW_RTS_CTS},
                                 {"ASRL_FLOW_DTR_DSR", VI_ASRL_FLOW_DTR_DSR}};
    static const enum_table parity{{"ASRL_PAR_NONE", VI_ASRL_PAR_NONE},
                                   {"ASRL_PAR_ODD", VI_ASRL_PAR_ODD},
                                   {"ASRL_PAR_EVEN", VI_ASRL_PAR_EVEN},
                                   {"ASRL_PAR_MARK", VI_ASRL_PAR_MARK},
                                   {"ASRL_PAR_SPACE", VI_ASRL_PAR_SPACE}};
    static const enum_table stop{{"ASRL_STOP_ONE", VI_ASRL_STOP_ONE},
                                 {"ASRL_STOP_ONE5", VI_ASRL_STOP_ONE5},
                                 {"ASRL_STOP_TWO", VI_ASRL_STOP_TWO}};
    switch (kind) {
    case shown_as::end_name:
        return end;
    case shown_as::flow_name:
        return flow;
    case shown_as::parity_name:
        return parity;
    default:
        return stop;
    }
}

template <class M>
struct getter_traits;
template <class C, class V>
struct getter_traits<HRESULT (STDMETHODCALLTYPE C::*)(V*)> {
    using value_type = V;
};

// Reads one setting through the session's public getter; its HRESULT is ignored, a failed
// read shows 0. Bytes widen unsigned, 16-bit values with their sign.
template <auto Getter>
long read_setting(CRS232Svr& session)
{
    typename getter_traits<decltype(Getter)>::value_type value{};
    (session.*Getter)(&value);
    return static_cast<long>(value);
}

struct render_row {
    const char* label;
    long (*read)(CRS232Svr&);
    shown_as shown;
    long omitted_with_flow = -1;  // left out when the flow control read before is this value
};

const render_row render_rows[] = {
    {"Timeout", read_setting<&CRS232Svr::get_Timeout>, shown_as::number},
    {"SendEndEnabled", read_setting<&CRS232Svr::get_SendEndEnabled>, shown_as::boolean},
    {"TerminationCharacter", read_setting<&CRS232Svr::get_TerminationCharacter>, shown_as::number},
    {"TerminationCharacterEnabled", read_setting<&CRS232Svr::get_TerminationCharacterEnabled>,
     shown_as::boolean},
    {"BaudRate", read_setting<&CRS232Svr::get_BaudRate>, shown_as::number},
    {"DataBits", read_setting<&CRS232Svr::get_DataBits>, shown_as::number},
    {"EndIn", read_setting<&CRS232Svr::get_EndIn>, shown_as::end_name},
    {"EndOut", read_setting<&CRS232Svr::get_EndOut>, shown_as::end_name},
    {"FlowControl", read_setting<&CRS232Svr::get_FlowControl>, shown_as::flow_name},
    {"Parity", read_setting<&CRS232Svr::get_Parity>, shown_as::parity_name},
    {"RequestToSendState", read_setting<&CRS232Svr::get_RequestToSendState>, shown_as::number,
     VI_ASRL_FLOW_RTS_CTS},
    {"DataTerminalReadyState", read_setting<&CRS232Svr::get_DataTerminalReadyState>,
     shown_as::number, VI_ASRL_FLOW_DTR_DSR},
    {"StopBits", read_setting<&CRS232Svr::get_StopBits>, shown_as::stop_name},
    {"MaximumQueueLength", read_setting<&CRS232Svr::get_MaximumQueueLength>, shown_as::number},
    {"ReplacementCharacter", read_setting<&CRS232Svr::get_ReplacementCharacter>, shown_as::number},
    {"XONCharacter", read_setting<&CRS232Svr::get_XONCharacter>, shown_as::number},
    {"XOFFCharacter", read_setting<&CRS232Svr::get_XOFFCharacter>, shown_as::number},
};

// One "label = value ; " piece (the last without its separator), at most 99 characters.
std::string render_piece(const render_row& row, long value, bool last)
{
    char piece[paramstring_reader::max_item_length + 1];
    std::optional<std::string> name;
    if (row.shown == shown_as::boolean)
        name = value != 0 ? "TRUE" : "FALSE";
    else if (row.shown != shown_as::number)
        name = render_names(row.shown).name_of(value);
    if (name)
        std::snprintf(piece, sizeof piece, last ? "%s = %s" : "%s = %s ; ", row.label,
                      name->c_str());
    else
        std::snprintf(piece, sizeof piece, last ? "%s = %d" : "%s = %d ; ", row.label,
                      static_cast<int>(value));
    return piece;
}

// ---- application ----

// Message 124 for the refusal of `key`, built from the refusal's error object, which it
// carries on with the refusal's HRESULT.
[[noreturn]] void throw_refusal(const std::string& key, IErrorInfo& info, HRESULT hr)
{
    bstr description, help_file, source;
    GUID iid = GUID_NULL;
    DWORD help_context = 0;
    info.GetDescription(description.put());
    info.GetHelpFile(help_file.put());
    info.GetSource(source.put());
    info.GetGUID(&iid);
    info.GetHelpContext(&help_context);

    const std::string reason = ansi_text(description.get());
    constexpr DWORD max_line_width = 80;
    resource_string message(IDS_INIT_PARAMETER_FAILED);
    message.format(max_line_width, key.c_str(), reason.c_str());
    throw loc_com_error(message.wide_text(), help_context, _bstr_t(help_file.release(), false),
                        _bstr_t(source.release(), false), iid, hr);
}

}  // namespace

rs232_paramstring_reader::rs232_paramstring_reader(CRS232Svr& session)
    : session_(&session), keys_{{"TIMEOUT", VI_ATTR_TMO_VALUE},
                                {"IOPROTOCOL", VI_ATTR_IO_PROT},
                                {"SENDENDENABLED", VI_ATTR_SEND_END_EN},
                                {"TERMINATIONCHARACTER", VI_ATTR_TERMCHAR},
                                {"TERMINATIONCHARACTERENABLED", VI_ATTR_TERMCHAR_EN},
                                {"BAUDRATE", VI_ATTR_ASRL_BAUD},
                                {"DATABITS", VI_ATTR_ASRL_DATA_BITS},
                                {"DATATERMINALREADYSTATE", VI_ATTR_ASRL_DTR_STATE},
                                {"ENDIN", VI_ATTR_ASRL_END_IN},
                                {"ENDOUT", VI_ATTR_ASRL_END_OUT},
                                {"FLOWCONTROL", VI_ATTR_ASRL_FLOW_CNTRL},
                                {"MAXIMUMQUEUELENGTH", VI_ATTR_MAX_QUEUE_LENGTH},
                                {"PARITY", VI_ATTR_ASRL_PARITY},
                                {"REQUESTTOSENDSTATE", VI_ATTR_ASRL_RTS_STATE},
                                {"STOPBITS", VI_ATTR_ASRL_STOP_BITS},
                                {"REPLACEMENTCHARACTER", VI_ATTR_ASRL_REPLACE_CHAR},
                                {"XONCHARACTER", VI_ATTR_ASRL_XON_CHAR},
                                {"XOFFCHARACTER", VI_ATTR_ASRL_XOFF_CHAR}},
      names_{{"ASRL_FLOW_NONE", 0},
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
             {"FALSE", 0}}
{}

void rs232_paramstring_reader::apply(const param_items& items)
{
    try {
        for (const param_item& item : items)
            apply_item(item);
    } catch (...) {
        rethrow_as_reader_failure();
    }
}

void rs232_paramstring_reader::apply_item(const param_item& item)
{
    const long attribute = keys_.value_of(upper(item.key));
    variant value;
    V_VT(value.get()) = VT_I4;
    V_I4(value.get()) = item.is_text ? names_.value_of(upper(item.text)) : item.number;

    // Through the session's public method, traced and reported like a client's call.
    const HRESULT hr = session_->SetAttribute(attribute, *value.get());
    value.reset();
    if (SUCCEEDED(hr))
        return;
    com_ptr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.put()) == S_OK && info)
        throw_refusal(item.key, *info.get(), hr);
    throw bad_paramstring(resource_string(IDS_BAD_INIT_ARGUMENT).text());
}

void rs232_paramstring_reader::render(std::string& out)
{
    out.clear();
    long flow_control = -1;
    const std::size_t count = std::size(render_rows);
    for (std::size_t i = 0; i < count; ++i) {
        const render_row& row = render_rows[i];
        const long value = row.read(*session_);
        if (row.shown == shown_as::flow_name)
            flow_control = value;
        if (row.omitted_with_flow >= 0 && row.omitted_with_flow == flow_control)
            continue;
        out += render_piece(row, value, i + 1 == count);
    }
}

}  // namespace mrv
