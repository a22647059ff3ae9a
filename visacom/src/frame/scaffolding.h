#pragma once
// Scaffolding: interface methods whose work has not landed yet. Each such method sits in its
// vtable slot and returns scaffolding<W>(), E_NOTIMPL, where W names the work that fills it.
// Searching for a work's name lists every method it still owes.
#include <winerror.h>

namespace mrv {

enum class pending_work {
    session_lifecycle,   // Init, Close and the identity properties of the session
    message_io,          // synchronous message I/O and the IBaseMessage attributes
    async_io,            // asynchronous jobs
    session_properties,  // the remaining IVisaSession properties, attributes and locks
    serial_port,         // ISerial
};

template <pending_work>
constexpr HRESULT scaffolding() noexcept
{
    return E_NOTIMPL;
}

}  // namespace mrv
