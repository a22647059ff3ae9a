// make_typelib: writes the server's type library (embedded in MrvRS232.dll as TYPELIB 1).
//
//   make_typelib <GlobMgr.dll> <output .tlb>
//
// The library is written with ICreateTypeLib2 rather than compiled from IDL so that the coclass
// and the server's interfaces REFERENCE the VISA COM interfaces in the imported VISA COM library
// (GlobMgr.dll) instead of carrying copies of them. Registering a library with copies would
// point each VISA COM interface's TypeLib key at this server's library.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <initializer_list>
#include <vector>

#include "com/com_ptr.h"
#include "MrvRS232.h"

namespace {

using mrv::com_ptr;

struct failure {
    const char* what;
    HRESULT hr;
};

void check(HRESULT hr, const char* what)
{
    if (FAILED(hr))
        throw failure{what, hr};
}

struct param_def {
    const wchar_t* name;
    VARTYPE type;
};

struct method_def {
    const wchar_t* name;
    std::initializer_list<param_def> params;
};

struct interface_def {
    const wchar_t* name;
    const IID* iid;
    const wchar_t* doc;
    ITypeInfo* base;
    std::initializer_list<method_def> methods;
};

struct coclass_member {
    ITypeInfo* info;
    int flags;
};

// Member ids as MIDL numbers the methods of an interface one level below IUnknown.
constexpr MEMBERID kFirstMemberId = 0x60010000;

HREFTYPE reference(ICreateTypeInfo* info, ITypeInfo* target)
{
    HREFTYPE ref = 0;
    check(info->AddRefTypeInfo(target, &ref), "AddRefTypeInfo");
    return ref;
}

com_ptr<ITypeInfo> define_interface(ICreateTypeLib2* lib, const interface_def& def)
{
    com_ptr<ICreateTypeInfo> info;
    check(lib->CreateTypeInfo(const_cast<LPOLESTR>(def.name), TKIND_INTERFACE, info.put()),
          "CreateTypeInfo(interface)");
    check(info->SetGuid(*def.iid), "SetGuid(interface)");
    check(info->SetTypeFlags(TYPEFLAG_FOLEAUTOMATION), "SetTypeFlags(interface)");
    check(info->SetDocString(const_cast<LPOLESTR>(def.doc)), "SetDocString(interface)");
    check(info->AddImplType(0, reference(info.get(), def.base)), "AddImplType(base)");

    UINT index = 0;
    for (const method_def& m : def.methods) {
        std::vector<ELEMDESC> params(m.params.size());
        std::vector<LPOLESTR> names{const_cast<LPOLESTR>(m.name)};
        size_t p = 0;
        for (const param_def& pd : m.params) {
            params[p].tdesc.vt = pd.type;
            params[p].paramdesc.wParamFlags = PARAMFLAG_FIN;
            names.push_back(const_cast<LPOLESTR>(pd.name));
            ++p;
        }
        FUNCDESC fd{};
        fd.memid = kFirstMemberId + static_cast<MEMBERID>(index);
        fd.funckind = FUNC_PUREVIRTUAL;
        fd.invkind = INVOKE_FUNC;
        fd.callconv = CC_STDCALL;
        fd.cParams = static_cast<SHORT>(params.size());
        fd.lprgelemdescParam = params.empty() ? nullptr : params.data();
        fd.elemdescFunc.tdesc.vt = VT_HRESULT;
        check(info->AddFuncDesc(index, &fd), "AddFuncDesc");
        check(info->SetFuncAndParamNames(index, names.data(), static_cast<UINT>(names.size())),
              "SetFuncAndParamNames");
        ++index;
    }
    check(info->LayOut(), "LayOut(interface)");
    return info.as<ITypeInfo>(IID_ITypeInfo);
}

void define_coclass(ICreateTypeLib2* lib, const wchar_t* name, const CLSID& clsid,
                    const wchar_t* doc, std::initializer_list<coclass_member> members)
{
    com_ptr<ICreateTypeInfo> info;
    check(lib->CreateTypeInfo(const_cast<LPOLESTR>(name), TKIND_COCLASS, info.put()),
          "CreateTypeInfo(coclass)");
    check(info->SetGuid(clsid), "SetGuid(coclass)");
    check(info->SetTypeFlags(TYPEFLAG_FCANCREATE), "SetTypeFlags(coclass)");
    check(info->SetDocString(const_cast<LPOLESTR>(doc)), "SetDocString(coclass)");
    UINT index = 0;
    for (const coclass_member& m : members) {
        check(info->AddImplType(index, reference(info.get(), m.info)), "AddImplType(coclass)");
        check(info->SetImplTypeFlags(index, m.flags), "SetImplTypeFlags");
        ++index;
    }
    check(info->LayOut(), "LayOut(coclass)");
}

com_ptr<ITypeInfo> type_of(ITypeLib* lib, const IID& iid)
{
    com_ptr<ITypeInfo> info;
    check(lib->GetTypeInfoOfGuid(iid, info.put()), "GetTypeInfoOfGuid");
    return info;
}

void build(const wchar_t* visacom_path, const wchar_t* out_path)
{
    com_ptr<ITypeLib> visacom;
    check(LoadTypeLibEx(visacom_path, REGKIND_NONE, visacom.put()), "LoadTypeLibEx(VISA COM)");
    com_ptr<ITypeLib> stdole;
    check(LoadTypeLibEx(L"stdole2.tlb", REGKIND_NONE, stdole.put()), "LoadTypeLibEx(stdole2)");

    com_ptr<ICreateTypeLib2> lib;
    check(CreateTypeLib2(SYS_WIN64, out_path, lib.put()), "CreateTypeLib2");
    check(lib->SetGuid(LIBID_MorvaneRS232Lib), "SetGuid(library)");
    check(lib->SetName(const_cast<LPOLESTR>(L"MorvaneRS232Lib")), "SetName");
    check(lib->SetVersion(1, 0), "SetVersion");
    check(lib->SetLcid(LANG_NEUTRAL), "SetLcid");
    check(lib->SetDocString(const_cast<LPOLESTR>(L"Morvane VISA COM ASRL 1.0 Type Library")),
          "SetDocString(library)");

    auto unknown = type_of(stdole.get(), IID_IUnknown);
    auto control =
        define_interface(lib.get(), {L"IControlSimulation",
                                     &IID_IControlSimulation,
                                     L"Simulation control of a serial session",
                                     unknown.get(),
                                     {{L"SetSimulationFile", {{L"FileName", VT_BSTR}}},
                                      {L"Reserved", {{L"Code", VT_I4}, {L"Data", VT_BSTR}}}}});
    auto usb_interrupt = type_of(visacom.get(), IID_IEventUsbInterrupt);
    define_interface(lib.get(), {L"IEventUsbInterruptOld",
                                 &IID_IEventUsbInterruptOld,
                                 L"USB interrupt event (former identifier)",
                                 usb_interrupt.get(),
                                 {}});

    auto message = type_of(visacom.get(), IID_IMessage);
    auto session = type_of(visacom.get(), IID_IVisaSession);
    auto base_message = type_of(visacom.get(), IID_IBaseMessage);
    auto async_message = type_of(visacom.get(), IID_IAsyncMessage);
    auto serial = type_of(visacom.get(), IID_ISerial);
    auto event_manager = type_of(visacom.get(), IID_IEventManager);
    define_coclass(lib.get(), L"RS232Svr", CLSID_RS232Svr, L"Morvane VISA COM ASRL Session Class",
                   {{message.get(), IMPLTYPEFLAG_FDEFAULT},
                    {session.get(), 0},
                    {base_message.get(), 0},
                    {async_message.get(), 0},
                    {serial.get(), 0},
                    {event_manager.get(), 0},
                    {control.get(), 0}});

    check(lib->SaveAllChanges(), "SaveAllChanges");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_typelib <VISA COM type library> <output .tlb>\n");
        return 2;
    }
    try {
        build(argv[1], argv[2]);
    } catch (const failure& f) {
        std::fprintf(stderr, "make_typelib: %s failed: 0x%08lx\n", f.what,
                     static_cast<unsigned long>(f.hr));
        return 1;
    }
    return 0;
}
