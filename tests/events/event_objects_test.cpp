// Event objects: the interface of each type, captured values, attributes of the context and
// the closed event.

#include "event_fixture.h"

namespace mrv::test {
namespace {

class event_objects : public event_test {};

simvisa_event_attr number(ViAttr attribute, ViUInt32 size, ViAttrState value)
{
    return {attribute, size, value, nullptr, nullptr, 0};
}

template <class I>
HRESULT query(IUnknown* object, REFIID iid, com_ptr<I>& out)
{
    return object->QueryInterface(iid, out.put_void());
}

TEST_F(event_objects, UsbInterruptGrantsItsInterfaceUnderBothIdsAndReportsMinusOneAsType)
{
    support_event(visa, usb_interrupt);
    enable(usb_interrupt, EVENT_QUEUE);
    const unsigned char bytes[3] = {0x41, 0x00, 0x43};
    fire(usb_interrupt, {number(VI_ATTR_USB_RECV_INTR_SIZE, 2, 3),
                         {VI_ATTR_USB_RECV_INTR_DATA, 0, 0, nullptr, bytes, 3},
                         number(VI_ATTR_STATUS, 4, 0)});
    auto e = next(usb_interrupt);
    ASSERT_TRUE(e);

    EventType type{};
    long custom = 0;
    EXPECT_HR(S_OK, e->get_Type(&type));
    EXPECT_EQ(-1, static_cast<long>(type));
    EXPECT_HR(S_OK, e->get_CustomEventType(&custom));
    EXPECT_EQ(usb_interrupt, custom);

    com_ptr<IEventUsbInterrupt> usb, old;
    ASSERT_HR(S_OK, query(e.get(), IID_IEventUsbInterrupt, usb));
    ASSERT_HR(S_OK, query(e.get(), IID_IEventUsbInterruptOld, old));
    short size = 0;
    EXPECT_HR(S_OK, old->get_DataSize(&size));
    EXPECT_EQ(3, size);
    SAFEARRAY* data = nullptr;
    ASSERT_HR(S_OK, usb->get_DataArray(&data));
    long upper = -1;
    SafeArrayGetUBound(data, 1, &upper);
    EXPECT_EQ(2, upper);
    SafeArrayDestroy(data);

    com_ptr<IEventTrigger> trig;
    EXPECT_HR(E_NOINTERFACE, query(e.get(), IID_IEventTrigger, trig));
    EXPECT_FALSE(trig);
    com_ptr<IUnknown> unknown;
    com_ptr<IEvent> as_event;
    ASSERT_HR(S_OK, query(usb.get(), IID_IUnknown, unknown));
    ASSERT_HR(S_OK, query(usb.get(), IID_IEvent, as_event));
    EXPECT_EQ(static_cast<IUnknown*>(as_event.get()), unknown.get());
}

TEST_F(event_objects, SoftwareTriggerKeepsItsSignAndTheContextIsReadWhileQueued)
{
    enable(trigger, EVENT_QUEUE);
    fire(trigger, {number(VI_ATTR_RECV_TRIG_ID, 2, 0xFFFF)});
    fire(trigger, {number(VI_ATTR_RECV_TRIG_ID, 2, 0xFFFF)});
    settle();
    for (int i = 0; i < 2; ++i) {
        auto e = next(trigger, 3000, i == 0 ? 0x00040080 : S_OK);
        com_ptr<IEventTrigger> t;
        ASSERT_HR(S_OK, query(e.get(), IID_IEventTrigger, t));
        long id = 0;
        EXPECT_HR(S_OK, t->get_TriggerID(&id));
        EXPECT_EQ(-1, id);
        com_ptr<IEventIOCompletion> io;
        EXPECT_HR(E_NOINTERFACE, query(e.get(), IID_IEventIOCompletion, io));
    }
}

TEST_F(event_objects, AttributesConvertToTheRequestedTypeAndAClosedEventAnswersNoSession)
{
    enable(sre, EVENT_QUEUE);
    fire(sre);
    auto e = next(sre);
    ASSERT_TRUE(e);

    VARIANT v;
    VariantInit(&v);
    EXPECT_HR(E_INVALIDARG, e->GetAttribute(VI_ATTR_EVENT_TYPE, &v));
    EXPECT_EQ(VT_EMPTY, V_VT(&v));
    // The library's context lives only as long as its callback; what matters here is the type.
    V_VT(&v) = VT_I2;
    EXPECT_HR(S_OK, e->GetAttribute(VI_ATTR_EVENT_TYPE, &v));
    EXPECT_EQ(VT_I2, V_VT(&v));
    V_VT(&v) = VT_BSTR;
    EXPECT_HR(S_OK, e->GetAttribute(VI_ATTR_OPER_NAME, &v));
    EXPECT_EQ(VT_BSTR, V_VT(&v));
    VariantClear(&v);
    EXPECT_HR(E_POINTER, e->GetAttribute(VI_ATTR_EVENT_TYPE, nullptr));

    long custom = 0;
    EXPECT_HR(S_OK, e->Close());
    EXPECT_HR(session_closed, e->Close());
    EXPECT_HR(session_closed, e->get_CustomEventType(&custom));
    EXPECT_HR(session_closed, e->get_CustomEventType(nullptr)) << "closed before arguments";
    EXPECT_HR(session_closed, e->GetAttribute(VI_ATTR_EVENT_TYPE, &v));
}

TEST_F(event_objects, EventsOutliveTheirSession)
{
    enable(sre, EVENT_QUEUE);
    fire(sre);
    auto e = next(sre);
    ASSERT_TRUE(e);
    EXPECT_HR(S_OK, session->Close());
    events.reset();
    session.reset();
    long custom = 0;
    EXPECT_HR(S_OK, e->get_CustomEventType(&custom));
    EXPECT_EQ(sre, custom);
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    EXPECT_HR(S_OK, e->GetAttribute(VI_ATTR_EVENT_TYPE, &v)) << "a context the library forgot";
}

}  // namespace
}  // namespace mrv::test
