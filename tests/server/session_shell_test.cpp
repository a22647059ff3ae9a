// The session object as a client sees it: activation by ProgID, the QueryInterface map and its
// identity rules, ISupportErrorInfo, IProvideClassInfo2, the connection-point container and
// IControlSimulation.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <thread>

#include "com/com_ptr.h"
#include "MrvRS232.h"
#include "server_test_support.h"

namespace mrv::test {
namespace {

void* const kPoison = reinterpret_cast<void*>(0xdeadbeef);

com_ptr<IUnknown> create_by_progid(const wchar_t* progid)
{
    CLSID clsid{};
    EXPECT_EQ(S_OK, CLSIDFromProgID(progid, &clsid));
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_RS232Svr));
    com_ptr<IUnknown> object;
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     object.put_void()));
    return object;
}

void* query(IUnknown* object, REFIID iid)
{
    void* p = kPoison;
    HRESULT hr = object->QueryInterface(iid, &p);
    if (FAILED(hr)) {
        EXPECT_EQ(E_NOINTERFACE, hr);
        EXPECT_EQ(nullptr, p);
        return nullptr;
    }
    static_cast<IUnknown*>(p)->Release();
    return p;
}

class Session : public ::testing::Test {
protected:
    com_init com;
    com_ptr<IUnknown> session = create_by_progid(L"MorvaneRS232.RS232Svr");
};

TEST_F(Session, QueryInterfaceFollowsTheMap)
{
    ASSERT_TRUE(session);
    struct row {
        const char* name;
        const IID* iid;
    };
    const row supported[] = {
        {"ISupportErrorInfo", &IID_ISupportErrorInfo},
        {"IProvideClassInfo2", &IID_IProvideClassInfo2},
        {"IConnectionPointContainer", &IID_IConnectionPointContainer},
        {"IAsyncMessage", &IID_IAsyncMessage},
        {"IMessage", &IID_IMessage},
        {"ISerial", &IID_ISerial},
        {"IBaseMessage", &IID_IBaseMessage},
        {"IVisaSession", &IID_IVisaSession},
        {"IEventManager", &IID_IEventManager},
        {"IControlSimulation", &IID_IControlSimulation},
    };
    for (const row& r : supported) {
        SCOPED_TRACE(r.name);
        void* p = query(session.get(), *r.iid);
        ASSERT_NE(nullptr, p);
        // Every interface leads back to the one IUnknown.
        EXPECT_EQ(session.get(), query(static_cast<IUnknown*>(p), IID_IUnknown));
    }
    const row unsupported[] = {
        {"IDispatch", &IID_IDispatch},
        {"IProvideClassInfo", &IID_IProvideClassInfo},
        {"IEvent", &IID_IEvent},
        {"IEventUsbInterruptOld", &IID_IEventUsbInterruptOld},
        {"IClassFactory", &IID_IClassFactory},
    };
    for (const row& r : unsupported) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(nullptr, query(session.get(), *r.iid));
    }
    EXPECT_EQ(E_POINTER, session->QueryInterface(IID_IUnknown, nullptr));

    // IUnknown is the ISupportErrorInfo pointer; the session interfaces share the IMessage one.
    EXPECT_EQ(query(session.get(), IID_IUnknown), query(session.get(), IID_ISupportErrorInfo));
    void* message = query(session.get(), IID_IMessage);
    EXPECT_EQ(message, query(session.get(), IID_IVisaSession));
    EXPECT_EQ(message, query(session.get(), IID_IBaseMessage));
    EXPECT_NE(message, query(session.get(), IID_IAsyncMessage));
    EXPECT_NE(message, query(session.get(), IID_IEventManager));
}

TEST_F(Session, SupportsErrorInfoForTheVisaComInterfacesOnly)
{
    auto info = session.as<ISupportErrorInfo>(IID_ISupportErrorInfo);
    ASSERT_TRUE(info);
    for (const IID* iid : {&IID_ISerial, &IID_IVisaSession, &IID_IAsyncMessage, &IID_IMessage,
                           &IID_IBaseMessage, &IID_IEventManager, &IID_IControlSimulation})
        EXPECT_EQ(S_OK, info->InterfaceSupportsErrorInfo(*iid));
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_ISupportErrorInfo, &IID_IEvent})
        EXPECT_EQ(S_FALSE, info->InterfaceSupportsErrorInfo(*iid));
}

TEST_F(Session, ProvidesTheCoclassFromTheServerLibrary)
{
    auto provider = session.as<IProvideClassInfo2>(IID_IProvideClassInfo2);
    ASSERT_TRUE(provider);
    EXPECT_EQ(E_POINTER, provider->GetClassInfo(nullptr));
    com_ptr<ITypeInfo> info;
    ASSERT_EQ(S_OK, provider->GetClassInfo(info.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_COCLASS, attr->typekind);
    EXPECT_TRUE(IsEqualCLSID(CLSID_RS232Svr, attr->guid));
    info->ReleaseTypeAttr(attr);
    com_ptr<ITypeInfo> again;
    ASSERT_EQ(S_OK, provider->GetClassInfo(again.put()));
    EXPECT_EQ(info.get(), again.get());

    GUID guid = IID_IUnknown;
    EXPECT_EQ(E_FAIL, provider->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid));
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, guid));
    guid = IID_IUnknown;
    EXPECT_EQ(E_INVALIDARG, provider->GetGUID(2, &guid));
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, guid));
    EXPECT_EQ(E_POINTER, provider->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr));
}

TEST_F(Session, OffersNoConnectionPoints)
{
    auto container = session.as<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ASSERT_TRUE(container);
    IConnectionPoint* point = reinterpret_cast<IConnectionPoint*>(kPoison);
    EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IUnknown, &point));
    EXPECT_EQ(nullptr, point);
    EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IEventHandler, &point));

    EXPECT_EQ(E_POINTER, container->EnumConnectionPoints(nullptr));
    com_ptr<IEnumConnectionPoints> points;
    ASSERT_EQ(S_OK, container->EnumConnectionPoints(points.put()));
    IConnectionPoint* next[2] = {};
    ULONG fetched = 99;
    EXPECT_EQ(S_FALSE, points->Next(2, next, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_FALSE, points->Skip(1));
    EXPECT_EQ(S_OK, points->Reset());
    com_ptr<IEnumConnectionPoints> clone;
    ASSERT_EQ(S_OK, points->Clone(clone.put()));
    EXPECT_EQ(S_FALSE, clone->Next(1, next, nullptr));
}

// The server's own interface crosses apartments through the type library marshaler, which
// works from the layout of IControlSimulation in the server's type library.
TEST_F(Session, SimulationControlIsCalledFromAnotherApartment)
{
    auto control = session.as<IControlSimulation>(IID_IControlSimulation);
    ASSERT_TRUE(control);
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CoMarshalInterThreadInterfaceInStream(IID_IControlSimulation, control.get(),
                                                          &stream));
    HRESULT unmarshaled = E_FAIL, set = E_FAIL, reserved = S_OK;
    bool proxy = false;
    std::thread([&] {
        com_init sta(COINIT_APARTMENTTHREADED);
        com_ptr<IControlSimulation> remote;
        unmarshaled =
            CoGetInterfaceAndReleaseStream(stream, IID_IControlSimulation, remote.put_void());
        if (FAILED(unmarshaled))
            return;
        proxy = remote.get() != control.get();
        BSTR file = SysAllocString(L"C:\\sim\\instrument.txt");
        set = remote->SetSimulationFile(file);
        SysFreeString(file);
        if (SUCCEEDED(set))
            set = remote->SetSimulationFile(nullptr);  // back to no simulation file
        reserved = remote->Reserved(1, nullptr);
    }).join();
    ASSERT_EQ(S_OK, unmarshaled);
    EXPECT_TRUE(proxy);
    EXPECT_EQ(S_OK, set);
    EXPECT_EQ(E_NOTIMPL, reserved);
}

}  // namespace
}  // namespace mrv::test
