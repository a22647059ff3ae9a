#pragma once
// The serial session as this client holds it: one COM object created by ProgID and the
// interfaces the commands use, each a counted reference of its own.
#include <windows.h>

#include <optional>

#include "com/com_ptr.h"
#include "console_io.h"
#include "options.h"
#include "visacom.h"

namespace asrlcon {

struct asrl_session {
    mrv::com_ptr<IVisaSession> visa;
    mrv::com_ptr<IBaseMessage> base;
    mrv::com_ptr<IMessage> message;
    mrv::com_ptr<ISerial> serial;
    mrv::com_ptr<IEventManager> events;
    mrv::com_ptr<IAsyncMessage> async;

    // The interface that declares a property, for the tables that name properties by member.
    template <class I>
    I* get() const;
};

template <>
inline IVisaSession* asrl_session::get<IVisaSession>() const
{
    return visa.get();
}
template <>
inline IBaseMessage* asrl_session::get<IBaseMessage>() const
{
    return base.get();
}
template <>
inline IMessage* asrl_session::get<IMessage>() const
{
    return message.get();
}
template <>
inline ISerial* asrl_session::get<ISerial>() const
{
    return serial.get();
}

inline constexpr wchar_t session_prog_id[] = L"MorvaneRS232.RS232Svr";

// Creates the session object, selects the simulation file when asked, and opens the resource;
// each failing step is reported. Nothing when the session could not be opened.
std::optional<asrl_session> open_session(console_io& io, const client_options& options);

}  // namespace asrlcon
