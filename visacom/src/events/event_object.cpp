#include "events/event_object.h"

#include <oleauto.h>

#include <cstring>
#include <utility>

#include "com/ansi_text.h"
#include "com/bstr_t.h"
#include "com/byte_vector.h"
#include "com/unique_any.h"
#include "com/variant.h"
#include "driver/entry_points.h"
#include "errors/method_boundary.h"
#include "errors/pointer_checks.h"
#include "errors/status_map.h"
#include "events/event_types.h"
#include "events/job_buffers.h"

namespace mrv {
namespace {

constexpr HRESULT closed_event = static_cast<HRESULT>(0x8004000E);
constexpr std::size_t text_attribute_length = 260;

// The event methods' failures: bad pointers, failed COM calls (with their error object) and
// anything else as E_UNEXPECTED, none of them with an error object of their own.
constexpr error_policy event_policy{pointer_error(), pass_com_error(), unexpected_error()};

// An attribute of the context read into zeroed 64-bit storage; a failed read leaves 0.
std::uint64_t read_number(ViEvent context, ViAttr attribute) noexcept
{
    std::uint64_t value = 0;
    visa::process_viGetAttribute(context, attribute, &value);
    return value;
}

std::int32_t widen_signed_16(std::uint64_t value) noexcept
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
}

std::string read_text(ViEvent context, ViAttr attribute)
{
    char text[text_attribute_length] = {};
    visa::process_viGetAttribute(context, attribute, text);
    text[text_attribute_length - 1] = '\0';
    return text;
}

// The entry points live in the library's image: a reference on that module keeps them there.
HMODULE reference_library() noexcept
{
    HMODULE module = nullptr;
    const auto entry = visa::process_entry_raw(visa::entry::viGetAttribute);
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(entry)), &module);
    return module;
}

safearray byte_array(std::span<const unsigned char> bytes)
{
    safearray array(new_byte_vector(static_cast<ULONG>(bytes.size())));
    if (!array)
        throw E_UNEXPECTED;
    if (!bytes.empty()) {
        void* target = nullptr;
        if (FAILED(::SafeArrayAccessData(array.get(), &target)))
            throw E_UNEXPECTED;
        std::memcpy(target, bytes.data(), bytes.size());
        ::SafeArrayUnaccessData(array.get());
    }
    return array;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// EventHandle

_event_t::EventHandle::EventHandle(ViEvent context) noexcept
    : context_(context), library_(reference_library())
{}

_event_t::EventHandle::~EventHandle()
{
    events::free_job_buffer(buffer_);
    if (library_)
        ::FreeLibrary(library_);
}

void _event_t::EventHandle::release() noexcept
{
    if (--count_ == 0)
        delete this;
}

// ---------------------------------------------------------------------------------------------
// The record

_event_t::_event_t(const _event_t& other) noexcept
    : CComObjectRootEx(), IEventGpibCIC(), IEventVxiVmeInterrupt(), IEventVxiSignal(),
      IEventIOCompletion(), IEventTrigger(), IEventUsbInterruptOld()
{
    *this = other;
}

_event_t& _event_t::operator=(const _event_t& other) noexcept
{
    if (this == &other)
        return *this;
    if (other.handle)
        other.handle->add_ref();
    drop_handle();
    type = other.type;
    status_id = other.status_id;
    level = other.level;
    cic_state = other.cic_state;
    status = other.status;
    job_id = other.job_id;
    count = other.count;
    data = other.data;  // the bytes live in the shared handle
    try {
        operation_name = other.operation_name;
    } catch (...) {
        // Out of memory: the copy keeps its identity, numbers and bytes without the name.
        operation_name.clear();
    }
    trigger_id = other.trigger_id;
    handle = other.handle;
    return *this;
}

_event_t::~_event_t()
{
    drop_handle();
}

void _event_t::drop_handle() noexcept
{
    data = {};
    if (auto h = std::exchange(handle, nullptr))
        h->release();
}

std::unique_ptr<_event_t> _event_t::capture(ViSession, ViEventType event_type, ViEvent context,
                                            const buffer_claim& claim)
{
    auto record = std::make_unique<_event_t>();
    record->handle = new EventHandle(context);
    record->type = event_type;
    switch (event_type) {
    case VI_EVENT_IO_COMPLETION: {
        record->status = static_cast<ViStatus>(read_number(context, VI_ATTR_STATUS));
        record->job_id = static_cast<ViJobId>(read_number(context, VI_ATTR_JOB_ID));
        record->count = static_cast<std::uint32_t>(read_number(context, VI_ATTR_RET_COUNT_64));
        void* buffer = reinterpret_cast<void*>(read_number(context, VI_ATTR_BUFFER));
        if (!claim || !claim(buffer, record->status))
            return nullptr;  // not a job of this server: nothing is delivered
        record->handle->own_buffer(buffer);
        if (buffer)
            record->data = {static_cast<const unsigned char*>(buffer), record->count};
        else
            record->count = 0;
        record->operation_name = read_text(context, VI_ATTR_OPER_NAME);
        break;
    }
    case VI_EVENT_GPIB_CIC:
        record->cic_state =
            static_cast<std::uint16_t>(read_number(context, VI_ATTR_GPIB_RECV_CIC_STATE));
        break;
    case VI_EVENT_VXI_SIGP:
        record->status_id =
            static_cast<std::uint16_t>(read_number(context, VI_ATTR_SIGP_STATUS_ID));
        break;
    case VI_EVENT_USB_INTR:
        record->count =
            static_cast<std::uint16_t>(read_number(context, VI_ATTR_USB_RECV_INTR_SIZE));
        if (record->count != 0) {
            unsigned char* bytes = events::allocate_job_buffer(record->count);
            record->handle->own_buffer(bytes);
            std::memset(bytes, 0, record->count);
            visa::process_viGetAttribute(context, VI_ATTR_USB_RECV_INTR_DATA, bytes);
            record->data = {bytes, record->count};
        }
        record->status = static_cast<ViStatus>(read_number(context, VI_ATTR_STATUS));
        break;
    case VI_EVENT_TRIG:
        record->trigger_id = widen_signed_16(read_number(context, VI_ATTR_RECV_TRIG_ID));
        break;
    case VI_EVENT_EXCEPTION:
        record->status = static_cast<ViStatus>(read_number(context, VI_ATTR_STATUS));
        record->operation_name = read_text(context, VI_ATTR_OPER_NAME);
        break;
    case VI_EVENT_VXI_VME_INTR:
        record->status_id =
            static_cast<std::uint32_t>(read_number(context, VI_ATTR_INTR_STATUS_ID));
        record->level = static_cast<std::uint32_t>(
            widen_signed_16(read_number(context, VI_ATTR_RECV_INTR_LEVEL)));
        break;
    default:
        break;
    }
    return record;
}

com_ptr<IEvent> _event_t::make_com_object(const _event_t& record)
{
    CComObject<_event_t>* object = nullptr;
    if (FAILED(CComObject<_event_t>::CreateInstance(&object)))
        throw E_OUTOFMEMORY;
    object->AddRef();
    *static_cast<_event_t*>(object) = record;
    com_ptr<IEvent> event;
    object->QueryInterface(IID_IEvent, event.put_void());
    object->Release();
    return event;
}

BSTR _event_t::operation_name_text() const
{
    return new_bstr(operation_name);
}

HRESULT _event_t::status_hresult() const noexcept
{
    return status == VI_SUCCESS ? S_OK : map_status(status).hresult;
}

// ---------------------------------------------------------------------------------------------
// The methods. A closed event answers 0x8004000E before anything else.

// Every method but Close: a closed event answers 0x8004000E at once, without checking its
// arguments; otherwise the body runs inside the event boundary.
template <class Body>
HRESULT event_method(const _event_t& event, Body&& body) noexcept
{
    if (event.is_closed())
        return closed_event;
    return method_boundary(event_policy, std::forward<Body>(body));
}

STDMETHODIMP _event_t::get_Type(EventType* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = static_cast<EventType>(events::reported_type(type) ? type : 0xFFFFFFFFu);
    });
}

STDMETHODIMP _event_t::get_CustomEventType(long* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = static_cast<long>(type);
    });
}

STDMETHODIMP _event_t::GetAttribute(long attribute, VARIANT* attrState)
{
    return event_method(*this, [&] {
        check_in_pointer(attrState);
        VARTYPE requested = V_VT(attrState);
        const bool by_reference = (requested & VT_BYREF) != 0;
        requested &= ~VT_BYREF;
        ::VariantClear(attrState);
        const VARTYPE target = by_reference ? VARTYPE{VT_EMPTY} : requested;
        const ViEvent context = handle->context();
        switch (requested) {
        case VT_BSTR: {
            const std::string text = read_text(context, static_cast<ViAttr>(attribute));
            V_BSTR(attrState) = new_bstr(text);
            V_VT(attrState) = VT_BSTR;
            return S_OK;
        }
        case VT_UI1:
        case VT_I2:
        case VT_I4:
        case VT_BOOL:
        case VT_I1:
        case VT_UI2:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            V_VT(attrState) = VT_I4;
            V_I4(attrState) =
                static_cast<LONG>(read_number(context, static_cast<ViAttr>(attribute)));
            return ::VariantChangeType(attrState, attrState, 0, target);
        default:
            return E_INVALIDARG;
        }
    });
}

STDMETHODIMP _event_t::SetAttribute(long attribute, VARIANT attrState)
{
    return event_method(*this, [&] {
        variant value = variant::copy_of(attrState);
        const ViEvent context = handle->context();
        if ((value.type() & ~VT_BYREF) == VT_BSTR) {
            value.change_type(VT_BSTR);
            const _bstr_t text(V_BSTR(value.get()), true);
            visa::process_viSetAttribute(context, static_cast<ViAttr>(attribute),
                                         reinterpret_cast<ViAttrState>(text.narrow()));
        } else {
            value.change_type(VT_I4);
            visa::process_viSetAttribute(context, static_cast<ViAttr>(attribute),
                                         static_cast<ViAttrState>(V_I4(value.get())));
        }
    });
}

STDMETHODIMP _event_t::Close()
{
    if (is_closed())
        return closed_event;
    drop_handle();
    return S_OK;
}

STDMETHODIMP _event_t::get_CICState(VARIANT_BOOL* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = static_cast<VARIANT_BOOL>(cic_state & 0xFFFF);
    });
}

STDMETHODIMP _event_t::get_InterruptStatusID(long* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = static_cast<long>(status_id);
    });
}

STDMETHODIMP _event_t::get_InterruptLevel(short* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = static_cast<short>(level & 0xFFFF);
    });
}

STDMETHODIMP _event_t::get_SignalStatusID(short* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = static_cast<short>(status_id & 0xFFFF);
    });
}

STDMETHODIMP _event_t::get_IOStatus(long* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = status_hresult();
    });
}

STDMETHODIMP _event_t::get_JobId(long* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = static_cast<long>(job_id);
    });
}

STDMETHODIMP _event_t::get_ReturnCount(long* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = static_cast<long>(count);
    });
}

STDMETHODIMP _event_t::get_ReadBuffer(SAFEARRAY** pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = byte_array(data).release();
    });
}

STDMETHODIMP _event_t::get_ReadBufferAsString(BSTR* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        const auto* bytes = reinterpret_cast<const char*>(data.data());
        *pVal = new_bstr(std::string_view(bytes, ::strnlen(bytes, data.size())));
    });
}

STDMETHODIMP _event_t::get_TriggerID(long* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = static_cast<long>(trigger_id);
    });
}

STDMETHODIMP _event_t::get_DataArray(SAFEARRAY** pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = byte_array(data).release();
    });
}

STDMETHODIMP _event_t::get_Status(long* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = status_hresult();
    });
}

STDMETHODIMP _event_t::get_DataSize(short* pVal)
{
    return event_method(*this, [&] {
        check_out_pointer(pVal);
        *pVal = static_cast<short>(count & 0xFFFF);
    });
}

}  // namespace mrv
