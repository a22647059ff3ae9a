#include "package_snapshot.h"

#include <shlobj.h>

#include <algorithm>

#include "MrvRS232.h"
#include "com/unique_any.h"

namespace mrv::test {
namespace {

std::wstring guid_text(const GUID& guid)
{
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

// Every key the package (or the DLLs' own registration) writes lies below one of these.
std::vector<std::pair<HKEY, std::wstring>> package_roots()
{
    std::vector<std::pair<HKEY, std::wstring>> roots = {
        {HKEY_CLASSES_ROOT, L"MorvaneRS232.RS232Svr"},
        {HKEY_CLASSES_ROOT, L"MorvaneRS232.RS232Svr.1"},
        {HKEY_CLASSES_ROOT, L"CLSID\\" + guid_text(CLSID_RS232Svr)},
        {HKEY_CLASSES_ROOT, L"TypeLib\\" + guid_text(LIBID_VisaComLib)},
        {HKEY_CLASSES_ROOT, L"TypeLib\\" + guid_text(LIBID_MorvaneRS232Lib)},
        {HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\MrvNkoServer"},
    };
    const IID* interfaces[] = {
        &IID_IVisaSession,          &IID_IBaseMessage,  &IID_IMessage,
        &IID_IAsyncMessage,         &IID_ISerial,       &IID_IEvent,
        &IID_IEventIOCompletion,    &IID_IEventTrigger, &IID_IEventVxiSignal,
        &IID_IEventVxiVmeInterrupt, &IID_IEventGpibCIC, &IID_IEventUsbInterrupt,
        &IID_IEventHandler,         &IID_IEventManager, &IID_IControlSimulation,
        &IID_IEventUsbInterruptOld,
    };
    for (const IID* iid : interfaces)
        roots.push_back({HKEY_CLASSES_ROOT, L"Interface\\" + guid_text(*iid)});
    return roots;
}

std::wstring value_text(DWORD type, const std::vector<BYTE>& data)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring s(reinterpret_cast<const wchar_t*>(data.data()),
                       data.size() / sizeof(wchar_t));
        while (!s.empty() && s.back() == L'\0')
            s.pop_back();
        return s;
    }
    if (type == REG_DWORD && data.size() == sizeof(DWORD))
        return L"dword:" + std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
    return L"type " + std::to_wstring(type) + L", " + std::to_wstring(data.size()) + L" bytes";
}

void list_key(HKEY key, const std::wstring& path, const std::wstring& view,
              std::vector<std::wstring>& lines)
{
    lines.push_back(view + L" " + path);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD name_size = 256;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key, i, name, &name_size, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(size);
        name_size = 256;
        if (RegEnumValueW(key, i, name, &name_size, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            break;
        data.resize(size);
        lines.push_back(view + L" " + path + L" [" + name + L"] = " + value_text(type, data));
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD name_size = 256;
        if (RegEnumKeyExW(key, i, name, &name_size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        unique_regkey child;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, child.put()) == ERROR_SUCCESS)
            list_key(child.get(), path + L"\\" + name, view, lines);
    }
}

void list_files(const std::wstring& folder, std::vector<std::wstring>& lines)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    unique_any<HANDLE, &::FindClose> guard(search);
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        lines.push_back(L"file " + folder + L"\\" + name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            list_files(folder + L"\\" + name, lines);
    } while (FindNextFileW(search, &found));
}

std::wstring program_files()
{
    wchar_t path[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, path)))
        return L"C:\\Program Files";
    return path;
}

}  // namespace

std::wstring install_folder()
{
    return program_files() + L"\\Morvane\\MrvRS232";
}

std::vector<std::wstring> package_files()
{
    std::vector<std::wstring> lines;
    const std::wstring top = program_files() + L"\\Morvane";
    if (GetFileAttributesW(top.c_str()) != INVALID_FILE_ATTRIBUTES)
        lines.push_back(L"file " + top);
    list_files(top, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::wstring> package_keys()
{
    std::vector<std::wstring> lines;
    const std::pair<REGSAM, const wchar_t*> views[] = {{KEY_WOW64_64KEY, L"64"},
                                                       {KEY_WOW64_32KEY, L"32"}};
    for (const auto& [root, path] : package_roots())
        for (const auto& [view, name] : views) {
            unique_regkey key;
            if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS)
                list_key(key.get(), path, name, lines);
        }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::wstring read_hkcr(const std::wstring& key, const wchar_t* name)
{
    wchar_t data[1024];
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return {};
    return data;
}

}  // namespace mrv::test
