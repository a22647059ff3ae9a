// typelib_rows: writes the registry rows of a type library's registration as a WiX include, so
// that the installer writes (and on removal deletes) through its Registry table exactly the keys
// that RegisterTypeLib writes when the library's DLL registers itself.
//
//   typelib_rows <type library file> <file id> <rows.wxi> <rows32.wxi>
//
// <file id> is the installer's File id of the library's DLL: the rows name its installed path as
// "[#<file id>]" and its folder as "[INSTALLDIR]".
// RegisterTypeLib writes the library key (name, 0\win64 path, FLAGS, HELPDIR) and, for every
// [oleautomation] interface and dispinterface, an Interface key in the 64-bit view and the same
// key again in the 32-bit view. <rows.wxi> gets the library key and the Interface keys,
// <rows32.wxi> the Interface keys alone (the installer writes them from a 32-bit component).
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "com/com_error.h"
#include "com/com_ptr.h"
#include "com/unique_any.h"
#include "trace/trace_message.h"

namespace {

using mrv::check_hresult;
using mrv::com_ptr;

constexpr wchar_t kTypeLibMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";
constexpr wchar_t kDispatchMarshaler[] = L"{00020420-0000-0000-C000-000000000046}";

struct row {
    std::wstring key;
    std::wstring name;  // empty: the key's default value
    std::wstring value;
};

std::wstring guid_text(const GUID& guid)
{
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring version_text(WORD major, WORD minor)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"%x.%x", major, minor);
    return text;
}

std::wstring documentation(ITypeLib* lib, INT index)
{
    mrv::bstr name;
    mrv::bstr doc;
    check_hresult(lib->GetDocumentation(index, index < 0 ? nullptr : name.put(),
                                        index < 0 ? doc.put() : nullptr, nullptr, nullptr));
    const BSTR text = index < 0 ? doc.get() : name.get();
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

void library_rows(ITypeLib* lib, const TLIBATTR& attr, const std::wstring& file,
                  const std::wstring& help_folder, std::vector<row>& rows)
{
    const std::wstring key = L"TypeLib\\" + guid_text(attr.guid) + L"\\" +
                             version_text(attr.wMajorVerNum, attr.wMinorVerNum);
    const std::wstring doc = documentation(lib, -1);
    if (!doc.empty())
        rows.push_back({key, L"", doc});
    wchar_t lcid[32];
    std::swprintf(lcid, 32, L"%lx\\%ls", static_cast<unsigned long>(attr.lcid),
                  attr.syskind == SYS_WIN64 ? L"win64" : L"win32");
    rows.push_back({key + L"\\" + lcid, L"", file});
    rows.push_back({key + L"\\FLAGS", L"", std::to_wstring(attr.wLibFlags)});
    rows.push_back({key + L"\\HELPDIR", L"", help_folder});
}

void interface_rows(ITypeLib* lib, const TLIBATTR& lib_attr, std::vector<row>& rows)
{
    const UINT count = lib->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        TYPEKIND kind{};
        check_hresult(lib->GetTypeInfoType(i, &kind));
        if (kind != TKIND_INTERFACE && kind != TKIND_DISPATCH)
            continue;
        com_ptr<ITypeInfo> info;
        check_hresult(lib->GetTypeInfo(i, info.put()));
        TYPEATTR* attr = nullptr;
        check_hresult(info->GetTypeAttr(&attr));
        const GUID iid = attr->guid;
        const WORD flags = attr->wTypeFlags;
        info->ReleaseTypeAttr(attr);
        if (kind == TKIND_INTERFACE && !(flags & TYPEFLAG_FOLEAUTOMATION))
            continue;
        const std::wstring key = L"Interface\\" + guid_text(iid);
        const wchar_t* proxy = (kind == TKIND_INTERFACE || (flags & TYPEFLAG_FDUAL))
                                   ? kTypeLibMarshaler
                                   : kDispatchMarshaler;
        rows.push_back({key, L"", documentation(lib, static_cast<INT>(i))});
        rows.push_back({key + L"\\ProxyStubClsid", L"", proxy});
        rows.push_back({key + L"\\ProxyStubClsid32", L"", proxy});
        rows.push_back({key + L"\\TypeLib", L"", guid_text(lib_attr.guid)});
        rows.push_back({key + L"\\TypeLib", L"Version",
                        version_text(lib_attr.wMajorVerNum, lib_attr.wMinorVerNum)});
    }
}

// WiX texts: XML-escaped, with "[" and "]" kept literal where the installer would read them as
// formatting (keys and names only: values carry the formatted references on purpose).
std::string wix_text(const std::wstring& text, bool literal_brackets)
{
    std::wstring literal;
    for (wchar_t c : text) {
        if (literal_brackets && (c == L'[' || c == L']'))
            literal += c == L'[' ? L"[\\[]" : L"[\\]]";
        else
            literal += c;
    }
    const std::wstring escaped = mrv::trace::escape_xml(literal);
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

void write_include(const wchar_t* path, const std::vector<row>& rows)
{
    FILE* raw = _wfopen(path, L"wb");
    if (!raw)
        throw mrv::_com_error(HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE));
    std::unique_ptr<FILE, int (*)(FILE*)> out(raw, &std::fclose);
    std::fputs("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
               "<!-- Written by typelib_rows at build time. -->\n<Include>\n",
               out.get());
    for (const row& r : rows) {
        std::fprintf(out.get(), "  <RegistryValue Root=\"HKCR\" Key=\"%s\"",
                     wix_text(r.key, true).c_str());
        if (!r.name.empty())
            std::fprintf(out.get(), " Name=\"%s\"", wix_text(r.name, true).c_str());
        std::fprintf(out.get(), " Type=\"string\" Value=\"%s\"/>\n",
                     wix_text(r.value, false).c_str());
    }
    std::fputs("</Include>\n", out.get());
    if (std::ferror(out.get()))
        throw mrv::_com_error(HRESULT_FROM_WIN32(ERROR_WRITE_FAULT));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: typelib_rows <type library> <file id> <rows.wxi> "
                             "<rows32.wxi>\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 1;
    int code = 0;
    try {
        com_ptr<ITypeLib> lib;
        check_hresult(LoadTypeLibEx(argv[1], REGKIND_NONE, lib.put()));
        TLIBATTR* attr = nullptr;
        check_hresult(lib->GetLibAttr(&attr));
        const TLIBATTR lib_attr = *attr;
        lib->ReleaseTLibAttr(attr);
        std::vector<row> interfaces;
        interface_rows(lib.get(), lib_attr, interfaces);
        std::vector<row> rows;
        library_rows(lib.get(), lib_attr, L"[#" + std::wstring(argv[2]) + L"]", L"[INSTALLDIR]",
                     rows);
        rows.insert(rows.end(), interfaces.begin(), interfaces.end());
        write_include(argv[3], rows);
        write_include(argv[4], interfaces);
    } catch (const mrv::_com_error& e) {
        std::fprintf(stderr, "typelib_rows: %ls: failed, 0x%08lx\n", argv[1],
                     static_cast<unsigned long>(e.Error()));
        code = 1;
    }
    CoUninitialize();
    return code;
}
