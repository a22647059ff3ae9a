// Registration: DllRegisterServer writes exactly the session class's keys and registers the
// server's type library without taking the VISA COM interfaces from the VISA COM library;
// DllUnregisterServer removes all of it again. The test leaves the server registered.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "MrvRS232.h"
#include "server_test_support.h"

namespace mrv::test {
namespace {

const std::wstring kClsidKey = L"CLSID\\{5A3C1E71-2B94-4F0D-8C21-6E7F90A1B2C3}";
const std::wstring kTypeLibKey = L"TypeLib\\{5A3C1E64-2B94-4F0D-8C21-6E7F90A1B2C3}";
const std::wstring kClassName = L"Morvane VISA COM ASRL Session Class";
const std::wstring kClsid = L"{5A3C1E71-2B94-4F0D-8C21-6E7F90A1B2C3}";
const std::wstring kVisaComLibid = L"{DB8CBF1C-D6D3-11D4-AA51-00A024EE30BD}";

const wchar_t* const kVisaComInterfaces[] = {
    L"{DB8CBF03-D6D3-11D4-AA51-00A024EE30BD}",  // IVisaSession
    L"{DB8CBF04-D6D3-11D4-AA51-00A024EE30BD}",  // IBaseMessage
    L"{DB8CBF05-D6D3-11D4-AA51-00A024EE30BD}",  // IMessage
    L"{DB8CBF06-D6D3-11D4-AA51-00A024EE30BD}",  // IAsyncMessage
    L"{DB8CBF0C-D6D3-11D4-AA51-00A024EE30BD}",  // ISerial
    L"{DB8CBF14-D6D3-11D4-AA51-00A024EE30BD}",  // IEventManager
    L"{DB8CBF12-D6D3-11D4-AA51-00A024EE30BD}",  // IEvent
    L"{DB8CBF23-D6D3-11D4-AA51-00A024EE30BD}",  // IEventUsbInterrupt
};

// Keys of classes whose scripts the DLL carries but never runs.
const wchar_t* const kUnservedKeys[] = {
    L"MorvaneRS232.TestUtil",
    L"MorvaneRS232.TestUtil.1",
    L"CLSID\\{7E2D4B8C-3C15-4A6E-9F30-1D2E3F4A5B6C}",
    L"MorvaneSimulateRS232.RS232Svr",
    L"MorvaneSimulateRS232.RS232Svr.1",
    L"CLSID\\{9C4E2F13-5D26-4B7F-A041-2E3F4A5B6C7D}",
};

struct expected_value {
    std::wstring key;
    const wchar_t* name;  // null: the default value
    std::wstring data;
};

std::vector<std::wstring> sorted(std::vector<std::wstring> v)
{
    for (auto& s : v)
        std::transform(s.begin(), s.end(), s.begin(), ::towlower);
    std::sort(v.begin(), v.end());
    return v;
}

void expect_visa_com_interfaces_untouched()
{
    for (const wchar_t* iid : kVisaComInterfaces) {
        SCOPED_TRACE(narrow(iid));
        EXPECT_EQ(read_string(HKEY_CLASSES_ROOT, std::wstring(L"Interface\\") + iid + L"\\TypeLib"),
                  kVisaComLibid);
    }
}

TEST(Registration, RegisterWritesExactlyTheClassKeysAndUnregisterRemovesThem)
{
    com_init com;
    server_dll dll;
    ASSERT_NE(dll.module, nullptr);

    ASSERT_EQ(S_OK, dll.unregister_server());
    const std::wstring removed[] = {L"MorvaneRS232.RS232Svr",
                                    L"MorvaneRS232.RS232Svr.1",
                                    kClsidKey,
                                    kTypeLibKey,
                                    L"Interface\\{9C4E2F07-5D26-4B7F-A041-2E3F4A5B6C7D}",
                                    L"Interface\\{9C4E2F0B-5D26-4B7F-A041-2E3F4A5B6C7D}"};
    for (const std::wstring& key : removed) {
        EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, key)) << narrow(key);
    }
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, L"CLSID"));
    expect_visa_com_interfaces_untouched();

    // A stale subkey under the class key goes: the class key is re-created from scratch.
    HKEY stale = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyW(HKEY_CLASSES_ROOT, (kClsidKey + L"\\Stale").c_str(), &stale));
    RegCloseKey(stale);

    ASSERT_EQ(S_OK, dll.register_server());
    const expected_value values[] = {
        {L"MorvaneRS232.RS232Svr.1", nullptr, kClassName},
        {L"MorvaneRS232.RS232Svr.1\\CLSID", nullptr, kClsid},
        {L"MorvaneRS232.RS232Svr", nullptr, kClassName},
        {L"MorvaneRS232.RS232Svr\\CLSID", nullptr, kClsid},
        {L"MorvaneRS232.RS232Svr\\CurVer", nullptr, L"MorvaneRS232.RS232Svr.1"},
        {kClsidKey, nullptr, kClassName},
        {kClsidKey + L"\\ProgID", nullptr, L"MorvaneRS232.RS232Svr.1"},
        {kClsidKey + L"\\VersionIndependentProgID", nullptr, L"MorvaneRS232.RS232Svr"},
        {kClsidKey + L"\\InprocServer32", nullptr, dll.path()},
        {kClsidKey + L"\\InprocServer32", L"ThreadingModel", L"Both"},
        {kClsidKey + L"\\TypeLib", nullptr, L"{5A3C1E64-2B94-4F0D-8C21-6E7F90A1B2C3}"},
        {kTypeLibKey + L"\\1.0", nullptr, L"Morvane VISA COM ASRL 1.0 Type Library"},
        {kTypeLibKey + L"\\1.0\\0\\win64", nullptr, dll.path()},
        {L"Interface\\{9C4E2F07-5D26-4B7F-A041-2E3F4A5B6C7D}\\TypeLib", nullptr,
         L"{5A3C1E64-2B94-4F0D-8C21-6E7F90A1B2C3}"},
        {L"Interface\\{9C4E2F0B-5D26-4B7F-A041-2E3F4A5B6C7D}\\TypeLib", nullptr,
         L"{5A3C1E64-2B94-4F0D-8C21-6E7F90A1B2C3}"},
    };
    for (const expected_value& v : values) {
        SCOPED_TRACE(narrow(v.key) + (v.name ? " " + narrow(v.name) : std::string()));
        EXPECT_EQ(read_string(HKEY_CLASSES_ROOT, v.key, v.name), v.data);
    }
    EXPECT_EQ(sorted(subkeys(HKEY_CLASSES_ROOT, kClsidKey)),
              sorted({L"InprocServer32", L"ProgID", L"TypeLib", L"VersionIndependentProgID"}));
    EXPECT_EQ(sorted(subkeys(HKEY_CLASSES_ROOT, L"MorvaneRS232.RS232Svr")),
              sorted({L"CLSID", L"CurVer"}));
    EXPECT_EQ(subkeys(HKEY_CLASSES_ROOT, L"MorvaneRS232.RS232Svr.1"),
              std::vector<std::wstring>{L"CLSID"});
    for (const wchar_t* key : kUnservedKeys)
        EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, key)) << narrow(key);
    expect_visa_com_interfaces_untouched();

    // Registering twice changes nothing.
    ASSERT_EQ(S_OK, dll.register_server());
    EXPECT_EQ(read_string(HKEY_CLASSES_ROOT, kClsidKey + L"\\InprocServer32"), dll.path());
}

TEST(Registration, TypeLibraryReferencesTheVisaComInterfaces)
{
    com_init com;
    server_dll dll;
    ITypeLib* lib = nullptr;
    ASSERT_EQ(S_OK, LoadTypeLibEx(dll.path().c_str(), REGKIND_NONE, &lib));
    // The library defines only the server's own interfaces and the coclass.
    EXPECT_EQ(3u, lib->GetTypeInfoCount());

    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(CLSID_RS232Svr, &coclass));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_COCLASS, attr->typekind);
    UINT implemented = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    ASSERT_EQ(7u, implemented);
    // Each VISA COM interface of the coclass lives in the VISA COM library.
    for (UINT i = 0; i + 1 < implemented; ++i) {
        HREFTYPE ref = 0;
        ITypeInfo* itf = nullptr;
        ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(i, &ref));
        ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(ref, &itf));
        ITypeLib* container = nullptr;
        UINT index = 0;
        ASSERT_EQ(S_OK, itf->GetContainingTypeLib(&container, &index));
        TLIBATTR* lattr = nullptr;
        ASSERT_EQ(S_OK, container->GetLibAttr(&lattr));
        wchar_t guid[40] = {};
        StringFromGUID2(lattr->guid, guid, 40);
        EXPECT_EQ(std::wstring(guid), kVisaComLibid) << "implemented interface " << i;
        container->ReleaseTLibAttr(lattr);
        container->Release();
        itf->Release();
    }
    coclass->Release();
    lib->Release();
}

TEST(Registration, VersionResourceCarriesTheFileVersion)
{
    server_dll dll;
    std::wstring path = dll.path();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    struct translation {
        WORD language;
        WORD code_page;
    }* table = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&table), &len));
    ASSERT_GE(len, 4u);
    wchar_t query[64];
    swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\FileVersion", table->language,
             table->code_page);
    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), query, reinterpret_cast<void**>(&text), &len));
    EXPECT_STREQ(MRV_EXPECTED_FILE_VERSION, text);
}

}  // namespace
}  // namespace mrv::test
