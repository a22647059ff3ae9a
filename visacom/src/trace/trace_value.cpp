#include "trace/trace_value.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "com/unique_any.h"

namespace mrv::trace {

namespace {

constexpr VARTYPE kArrayBit = 0x2000;
constexpr LCID kUsEnglish = 1033;
constexpr wchar_t kHex[] = L"0123456789abcdef";

std::wstring hex32(std::uint64_t value)
{
    wchar_t digits[16];
    std::swprintf(digits, 16, L"0x%x", static_cast<unsigned>(value & 0xFFFFFFFFu));
    return digits;
}

std::size_t element_size(VARTYPE base) noexcept
{
    if (base & 0x100)
        return 1;
    if (base & 0x200)
        return 2;
    if (base & 0x400)
        return 4;
    if (base & 0x800)
        return 8;
    return 1;
}

// The value elements of an array argument, within the array byte limit.
std::wstring array_elements(const VARIANT& value, std::int32_t limit)
{
    const VARTYPE base = V_VT(&value) & ~kArrayBit;
    SAFEARRAY* array = V_ARRAY(&value);
    LONG lower = 0, upper = 0;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper)))
        throw std::runtime_error("Bad array bounds");
    const long long size = static_cast<long long>(element_size(base));
    long long last = upper;
    if (limit >= 0)
        last = std::min<long long>(upper, (limit + static_cast<long long>(lower)) / size - 1);
    const long long count = last >= lower ? last - lower + 1 : 0;
    const auto* data = static_cast<const unsigned char*>(array->pvData);
    if (count > 0 && !data)
        throw std::runtime_error("Bad array data");
    const std::size_t stride = array->cbElements ? array->cbElements : 1;

    std::wstring text;
    if (base & 0x100) {
        std::wstring hex;
        hex.reserve(static_cast<std::size_t>(count) * 2);
        for (long long i = 0; i < count; ++i) {
            const unsigned char byte = data[i * stride];
            hex += kHex[byte >> 4];
            hex += kHex[byte & 15];
        }
        text = L"<Element";
        append_xml_attribute(text, L"BinHexValue", hex);
        return text + L"/>";
    }
    for (long long i = 0; i < count; ++i) {
        const unsigned char* at = data + i * stride;
        VARIANT element;
        VariantInit(&element);
        if (base & 0x200) {
            V_VT(&element) = VT_UI2;
            std::memcpy(&V_UI2(&element), at, 2);
        } else if (base & 0x400) {
            V_VT(&element) = VT_UI4;
            std::memcpy(&V_UI4(&element), at, 4);
        } else if (base & 0x800) {
            V_VT(&element) = VT_UI8;
            std::memcpy(&V_UI8(&element), at, 8);
        } else {
            V_VT(&element) = VT_UNKNOWN;
            std::memcpy(&V_UNKNOWN(&element), at, sizeof(void*));
        }
        text += L"<Element";
        append_xml_attribute(text, L"Value", escape_xml(render_trace_value(element)));
        text += L"/>";
    }
    return text;
}

}  // namespace

bool supported_trace_type(VARTYPE base) noexcept
{
    switch (base) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 8:
    case 11:
    case 12:
    case 13:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
    case 25:
    case 0x100:
    case 0x200:
    case 0x400:
    case 0x800:
        return true;
    default:
        return false;
    }
}

void append_xml_attribute(std::wstring& text, const wchar_t* name, std::wstring_view value)
{
    text += L' ';
    text += name;
    text += L"=\"";
    text += value;
    text += L'"';
}

std::wstring decimal_text(long long value)
{
    wchar_t digits[24];
    std::swprintf(digits, 24, L"%lld", value);
    return digits;
}

std::wstring bstr_text(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : L"";
}

std::wstring escape_xml(std::wstring_view text)
{
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'&':
            escaped += L"&amp;";
            break;
        case L'<':
            escaped += L"&lt;";
            break;
        case L'>':
            escaped += L"&gt;";
            break;
        case L'"':
            escaped += L"&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

const wchar_t* trace_type_name(VARTYPE type) noexcept
{
    const wchar_t* name = L"UNRECOGNIZED";
    switch (type & ~kArrayBit) {
    case 0:
        name = L"EMPTY";
        break;
    case 1:
        name = L"NULL";
        break;
    case 2:
        name = L"int16";
        break;
    case 3:
        name = L"int32";
        break;
    case 4:
    case 5:
        name = L"float";
        break;
    case 8:
        name = L"string";
        break;
    case 11:
        name = L"bool";
        break;
    case 13:
        name = L"object";
        break;
    case 16:
        name = L"int8";
        break;
    case 17:
    case 0x100:
        name = L"uint8";
        break;
    case 18:
    case 0x200:
        name = L"uint16";
        break;
    case 19:
    case 0x400:
        name = L"uint32";
        break;
    case 20:
        name = L"int64";
        break;
    case 21:
    case 0x800:
        name = L"uint64";
        break;
    case 25:
        name = L"HRESULT";
        break;
    }
    if (!(type & kArrayBit))
        return name;
    // The array names, built once.
    static const std::wstring array_names[] = {
        L"ARRAY->EMPTY", L"ARRAY->NULL",   L"ARRAY->int16",   L"ARRAY->int32",
        L"ARRAY->float", L"ARRAY->string", L"ARRAY->bool",    L"ARRAY->object",
        L"ARRAY->int8",  L"ARRAY->uint8",  L"ARRAY->uint16",  L"ARRAY->uint32",
        L"ARRAY->int64", L"ARRAY->uint64", L"ARRAY->HRESULT", L"ARRAY->UNRECOGNIZED"};
    for (const std::wstring& full : array_names)
        if (full.compare(7, std::wstring::npos, name) == 0)
            return full.c_str();
    return name;
}

std::wstring render_trace_value(const VARIANT& value)
{
    switch (V_VT(&value)) {
    case VT_UNKNOWN:
        return hex32(reinterpret_cast<std::uintptr_t>(V_UNKNOWN(&value)));
    case VT_HRESULT:
        return hex32(static_cast<std::uint32_t>(V_ERROR(&value)));
    default:
        break;
    }
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(&value), kUsEnglish,
                                   VARIANT_ALPHABOOL, VT_BSTR)))
        return L"Undisplayable Value";
    // The conversion made a BSTR, which this text owns now.
    const bstr owned(V_BSTR(&text));
    return bstr_text(owned.get());
}

std::wstring trace_value_elements(const VARIANT& value, std::int32_t array_byte_limit)
{
    if (V_VT(&value) & kArrayBit)
        return array_elements(value, array_byte_limit);
    std::wstring element = L"<Element";
    append_xml_attribute(element, L"Value", escape_xml(render_trace_value(value)));
    return element + L"/>";
}

}  // namespace mrv::trace
