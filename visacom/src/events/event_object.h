#pragma once
// _event_t: one VISA event that occurred on a session. Its attributes are copied inside the VISA
// library's callback while the library's event context is valid; the copies share one
// EventHandle on that context. The same class is the plain record that the event manager keeps
// in its lists and queues and, as CComObject<_event_t>, the COM event object that waits and
// handlers receive (IEvent plus exactly the interface of its type).
//
// Event objects never touch the session: once captured they stand alone and keep working after
// the session is closed. Their methods take no lock.
#include <windows.h>

#include <visa.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "com/com_object.h"
#include "com/com_ptr.h"
#include "MrvRS232.h"
#include "visacom.h"

namespace mrv {

class _event_t : public CComObjectRootEx<CComMultiThreadModel>,
                 public IEventGpibCIC,
                 public IEventVxiVmeInterrupt,
                 public IEventVxiSignal,
                 public IEventIOCompletion,
                 public IEventTrigger,
                 public IEventUsbInterruptOld {
public:
    // The library's event context, shared by every copy of one event. It keeps the VISA library
    // loaded while any copy lives, and owns the bytes the event carries (the job buffer of an
    // I/O completion, the data of a USB interrupt), so copies share them instead of copying a
    // transfer's megabytes each time. The context itself belongs to the library's callback and
    // is never closed here.
    class EventHandle {
    public:
        explicit EventHandle(ViEvent context) noexcept;
        EventHandle(const EventHandle&) = delete;
        EventHandle& operator=(const EventHandle&) = delete;
        virtual ~EventHandle();

        void add_ref() noexcept { ++count_; }
        void release() noexcept;
        ViEvent context() const noexcept { return context_; }
        void own_buffer(void* buffer) noexcept { buffer_ = buffer; }

    private:
        ViEvent context_;
        std::atomic<long> count_{1};
        void* buffer_ = nullptr;
        HMODULE library_ = nullptr;  // a reference on the library whose context this is
    };

    template <std::uint32_t Type>
    static bool of_type(const _event_t& e) noexcept
    {
        return e.type == Type;
    }

    // Claims a job's buffer from the session's job-buffer registry for the completion that
    // reports `status` (true: the caller owns it).
    using buffer_claim = std::function<bool(void* buffer, ViStatus status)>;

    // QueryInterface: IUnknown and IEvent always, the interface of the event's type besides.
    using interfaces = interface_map<
        com_entry<IEvent, IEventIOCompletion>,
        com_entry_if<&of_type<VI_EVENT_GPIB_CIC>, IEventGpibCIC>,
        com_entry_if<&of_type<VI_EVENT_VXI_VME_INTR>, IEventVxiVmeInterrupt>,
        com_entry_if<&of_type<VI_EVENT_VXI_SIGP>, IEventVxiSignal>,
        com_entry_if<&of_type<VI_EVENT_IO_COMPLETION>, IEventIOCompletion>,
        com_entry_if<&of_type<VI_EVENT_TRIG>, IEventTrigger>,
        com_entry_if<&of_type<VI_EVENT_USB_INTR>, IEventUsbInterrupt, IEventUsbInterruptOld>,
        com_entry_if<&of_type<VI_EVENT_USB_INTR>, IEventUsbInterruptOld, IEventUsbInterruptOld,
                     &IID_IEventUsbInterruptOld>>;

    _event_t() noexcept = default;
    _event_t(const _event_t& other) noexcept;
    _event_t& operator=(const _event_t& other) noexcept;
    virtual ~_event_t();

    // The record of an event the library delivers on `session`, read while `context` is valid
    // (inside the library's callback). Null for an I/O completion whose buffer `claim` does not
    // give: that job is not this server's (any more), and nothing is delivered.
    static std::unique_ptr<_event_t> capture(ViSession session, ViEventType event_type,
                                             ViEvent context, const buffer_claim& claim);
    // A new COM event object holding a copy of `record`; the caller owns the reference.
    static com_ptr<IEvent> make_com_object(const _event_t& record);

    bool is_closed() const noexcept { return handle == nullptr; }

    // IUnknown of a plain record (CComObject<_event_t> replaces these): answers from the map
    // and counts, but never deletes.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        return query_interface(this, riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InternalAddRef()); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InternalRelease()); }

    // IEvent
    STDMETHODIMP get_Type(EventType* pVal) override;
    STDMETHODIMP get_CustomEventType(long* pVal) override;
    STDMETHODIMP GetAttribute(long attribute, VARIANT* attrState) override;
    STDMETHODIMP SetAttribute(long attribute, VARIANT attrState) override;
    STDMETHODIMP Close() override;
    // IEventGpibCIC
    STDMETHODIMP get_CICState(VARIANT_BOOL* pVal) override;
    // IEventVxiVmeInterrupt
    STDMETHODIMP get_InterruptStatusID(long* pVal) override;
    STDMETHODIMP get_InterruptLevel(short* pVal) override;
    // IEventVxiSignal
    STDMETHODIMP get_SignalStatusID(short* pVal) override;
    // IEventIOCompletion
    STDMETHODIMP get_IOStatus(long* pVal) override;
    STDMETHODIMP get_JobId(long* pVal) override;
    STDMETHODIMP get_ReturnCount(long* pVal) override;
    STDMETHODIMP get_ReadBuffer(SAFEARRAY** pVal) override;
    STDMETHODIMP get_ReadBufferAsString(BSTR* pVal) override;
    // IEventTrigger
    STDMETHODIMP get_TriggerID(long* pVal) override;
    // IEventUsbInterrupt
    STDMETHODIMP get_DataArray(SAFEARRAY** pVal) override;
    STDMETHODIMP get_Status(long* pVal) override;
    STDMETHODIMP get_DataSize(short* pVal) override;

    // The operation name as a new BSTR, and the stored status as an HRESULT.
    BSTR operation_name_text() const;
    HRESULT status_hresult() const noexcept;

    // The record, in the order the server keeps it. 16-bit values from the library are widened.
    std::uint32_t type = 0;
    std::uint32_t status_id = 0;  // VXI signal status ID, or VXI/VME interrupt status ID
    std::uint32_t level = 0;      // VXI/VME interrupt level
    std::uint32_t cic_state = 0;  // GPIB controller in charge (VISA boolean)
    ViStatus status = 0;          // of the operation the event reports
    ViJobId job_id = 0;
    std::uint32_t count = 0;  // bytes transferred, or USB interrupt data size
    // The transferred bytes or the interrupt data: `count` bytes held by the handle, readable
    // while the record is open.
    std::span<const unsigned char> data;
    std::string operation_name;
    std::int32_t trigger_id = 0;
    EventHandle* handle = nullptr;  // none: the event is closed

private:
    void drop_handle() noexcept;
};

}  // namespace mrv
