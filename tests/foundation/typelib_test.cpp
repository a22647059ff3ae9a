// The registered VISA COM type library must describe every interface exactly as clients'
// vtables expect it: IID, base interface, number of functions and their order.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/com_ptr.h"
#include "visacom.h"

namespace {

struct com_init {
    com_init() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~com_init() { CoUninitialize(); }
};

struct expected_interface {
    const char* name;
    const IID* iid;
    const IID* base;
    unsigned own_functions;      // functions after those of the base interface
    const char* first_function;  // name of the first own function
    const char* last_function;   // name of the last own function
};

// IIDs and layouts as the VISA COM standard publishes them.
const expected_interface kInterfaces[] = {
    {"IVisaSession", &IID_IVisaSession, &IID_IUnknown, 21, "ComponentVersion", "Close"},
    {"IBaseMessage", &IID_IBaseMessage, &IID_IVisaSession, 11, "IOProtocol", "ReadSTB"},
    {"IMessage", &IID_IMessage, &IID_IBaseMessage, 4, "Read", "WriteString"},
    {"IAsyncMessage", &IID_IAsyncMessage, &IID_IBaseMessage, 4, "Read", "Terminate"},
    {"ISerial", &IID_ISerial, &IID_IVisaSession, 31, "BytesAvailable", "Flush"},
    {"IEventManager", &IID_IEventManager, &IID_IVisaSession, 8, "MaximumQueueLength",
     "UninstallHandler"},
    {"IEvent", &IID_IEvent, &IID_IUnknown, 5, "Type", "Close"},
    {"IEventIOCompletion", &IID_IEventIOCompletion, &IID_IEvent, 5, "IOStatus",
     "ReadBufferAsString"},
    {"IEventTrigger", &IID_IEventTrigger, &IID_IEvent, 1, "TriggerID", "TriggerID"},
    {"IEventVxiSignal", &IID_IEventVxiSignal, &IID_IEvent, 1, "SignalStatusID", "SignalStatusID"},
    {"IEventVxiVmeInterrupt", &IID_IEventVxiVmeInterrupt, &IID_IEvent, 2, "InterruptStatusID",
     "InterruptLevel"},
    {"IEventGpibCIC", &IID_IEventGpibCIC, &IID_IEvent, 1, "CICState", "CICState"},
    {"IEventUsbInterrupt", &IID_IEventUsbInterrupt, &IID_IEvent, 3, "DataArray", "DataSize"},
    {"IEventHandler", &IID_IEventHandler, &IID_IUnknown, 1, "HandleEvent", "HandleEvent"},
};

std::string narrow(const wchar_t* w)
{
    std::string s;
    for (; w && *w; ++w)
        s.push_back(static_cast<char>(*w));
    return s;
}

struct type_attr {
    ITypeInfo* info;
    TYPEATTR* attr = nullptr;
    explicit type_attr(ITypeInfo* i) : info(i) { info->GetTypeAttr(&attr); }
    ~type_attr()
    {
        if (attr)
            info->ReleaseTypeAttr(attr);
    }
};

struct func_desc {
    ITypeInfo* info;
    FUNCDESC* desc = nullptr;
    func_desc(ITypeInfo* i, UINT index) : info(i) { info->GetFuncDesc(index, &desc); }
    ~func_desc()
    {
        if (desc)
            info->ReleaseFuncDesc(desc);
    }
};

std::string function_name(ITypeInfo* info, MEMBERID id)
{
    BSTR name = nullptr;
    if (FAILED(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr)))
        return {};
    std::string r = narrow(name);
    SysFreeString(name);
    return r;
}

mrv::com_ptr<ITypeLib> load_registered_library()
{
    mrv::com_ptr<ITypeLib> lib;
    EXPECT_EQ(S_OK, LoadRegTypeLib(LIBID_VisaComLib, 5, 1, LANG_NEUTRAL, lib.put()))
        << "GlobMgr.dll is not registered in the test prefix";
    return lib;
}

}  // namespace

TEST(VisaComTypeLibrary, EveryInterfaceHasItsIidBaseAndLayout)
{
    com_init com;
    auto lib = load_registered_library();
    ASSERT_TRUE(lib);

    for (const auto& want : kInterfaces) {
        SCOPED_TRACE(want.name);
        mrv::com_ptr<ITypeInfo> info;
        ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(*want.iid, info.put()));
        type_attr ta(info.get());
        ASSERT_NE(nullptr, ta.attr);
        EXPECT_EQ(TKIND_INTERFACE, ta.attr->typekind);
        EXPECT_TRUE(ta.attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
        EXPECT_FALSE(ta.attr->wTypeFlags & TYPEFLAG_FDUAL);
        EXPECT_EQ(want.own_functions, ta.attr->cFuncs);
        EXPECT_EQ(want.name, function_name(info.get(), MEMBERID_NIL));

        // Base interface.
        ASSERT_EQ(1, ta.attr->cImplTypes);
        HREFTYPE ref = 0;
        ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(0, &ref));
        mrv::com_ptr<ITypeInfo> base;
        ASSERT_EQ(S_OK, info->GetRefTypeInfo(ref, base.put()));
        type_attr ba(base.get());
        ASSERT_NE(nullptr, ba.attr);
        EXPECT_TRUE(IsEqualGUID(*want.base, ba.attr->guid));

        // Own functions occupy consecutive vtable slots right after the base's.
        const short first_slot = static_cast<short>(ba.attr->cbSizeVft);
        std::vector<std::string> names;
        for (UINT i = 0; i < ta.attr->cFuncs; ++i) {
            func_desc fd(info.get(), i);
            ASSERT_NE(nullptr, fd.desc);
            EXPECT_EQ(first_slot + static_cast<short>(i * sizeof(void*)), fd.desc->oVft)
                << "function " << i;
            EXPECT_EQ(CC_STDCALL, fd.desc->callconv);
            names.push_back(function_name(info.get(), fd.desc->memid));
        }
        ASSERT_FALSE(names.empty());
        EXPECT_EQ(want.first_function, names.front());
        EXPECT_EQ(want.last_function, names.back());
        EXPECT_EQ(static_cast<WORD>(first_slot + ta.attr->cFuncs * sizeof(void*)),
                  ta.attr->cbSizeVft);
    }
}

TEST(VisaComTypeLibrary, RegistrationPointsInterfacesAtTypeLibraryMarshaler)
{
    // Typelib marshaling of the VISA COM interfaces depends on these keys.
    for (const auto& want : kInterfaces) {
        SCOPED_TRACE(want.name);
        wchar_t iid[40];
        StringFromGUID2(*want.iid, iid, 40);
        std::wstring key = std::wstring(L"Interface\\") + iid + L"\\ProxyStubClsid32";
        wchar_t value[64] = {};
        LONG size = sizeof(value);
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size));
        EXPECT_STREQ(L"{00020424-0000-0000-C000-000000000046}", value);

        key = std::wstring(L"Interface\\") + iid + L"\\TypeLib";
        size = sizeof(value);
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size));
        EXPECT_STREQ(L"{DB8CBF1C-D6D3-11D4-AA51-00A024EE30BD}", value);
    }
}

TEST(VisaComTypeLibrary, EnumerationsAreThirtyTwoBitWithStandardValues)
{
    com_init com;
    auto lib = load_registered_library();
    ASSERT_TRUE(lib);
    struct {
        const wchar_t* type;
        const wchar_t* member;
        long value;
    } cases[] = {
        {L"AccessMode", L"SHARED_LOCK", 2},
        {L"EventType", L"EVENT_TRIG", static_cast<long>(0xBFFF200Au)},
        {L"EventType", L"ALL_ENABLED_EVENTS", 0x3FFF7FFF},
        {L"EventMechanism", L"EVENT_SUSPEND_HNDLR", 4},
        {L"SerialStopBits", L"ASRL_STOP_ONE5", 15},
        {L"LineState", L"ASRL_STATE_UNKNOWN", -1},
        {L"IOProtocol", L"IO_PROT_4882_STRS", 4},
        {L"TriggerProtocol", L"TRIG_PROT_UNRESERVE", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.member));
        // Look the enumeration up by kind and name: FindName may answer with a method of the
        // same name (IOProtocol) or with the typedef.
        mrv::com_ptr<ITypeInfo> info;
        for (UINT i = 0, n = lib->GetTypeInfoCount(); i < n && !info; ++i) {
            TYPEKIND kind;
            mrv::com_ptr<ITypeInfo> candidate;
            if (lib->GetTypeInfoType(i, &kind) == S_OK && kind == TKIND_ENUM &&
                lib->GetTypeInfo(i, candidate.put()) == S_OK &&
                function_name(candidate.get(), MEMBERID_NIL) == narrow(c.type))
                info = candidate;
        }
        ASSERT_TRUE(info) << "no enumeration " << narrow(c.type);
        type_attr ta(info.get());
        ASSERT_EQ(TKIND_ENUM, ta.attr->typekind);
        EXPECT_EQ(4, ta.attr->cbSizeInstance);
        bool seen = false;
        for (UINT i = 0; i < ta.attr->cVars; ++i) {
            VARDESC* vd = nullptr;
            ASSERT_EQ(S_OK, info->GetVarDesc(i, &vd));
            if (function_name(info.get(), vd->memid) == narrow(c.member)) {
                seen = true;
                VARIANT v;
                VariantInit(&v);
                ASSERT_EQ(S_OK, VariantChangeType(&v, vd->lpvarValue, 0, VT_I4));
                EXPECT_EQ(c.value, V_I4(&v));
            }
            info->ReleaseVarDesc(vd);
        }
        EXPECT_TRUE(seen);
    }
}
