#include "events/event_handlers.h"

#include <ole2.h>

#include <optional>
#include <utility>
#include <vector>

#include "com/com_error.h"
#include "com/synchronize.h"
#include "errors/loc_com_error.h"
#include "events/event_types.h"
#include "resources/string_ids.h"

namespace mrv::events {
namespace {

using state_lock = synchronize<CComAutoCriticalSection>;

constexpr HRESULT handler_error = static_cast<HRESULT>(0x80040028);
constexpr DWORD help_handler_installed = 1046;
constexpr DWORD help_no_such_handler = 1047;
constexpr DWORD help_bad_handler = 1051;

struct kept_handler {
    com_ptr<IEventHandler> handler;
    long user_handle = 0;
};

[[noreturn]] void throw_bad_handler()
{
    throw loc_com_error(IDS_BAD_EVENT_HANDLER, help_bad_handler, IID_IEventManager, E_INVALIDARG);
}

// The table through every class context: an out-of-process table is possible, so the object
// is made for IUnknown, run, and then asked for the table's interface. Empty on failure.
com_ptr<IGlobalInterfaceTable> make_global_interface_table()
{
    constexpr DWORD any_context =
        CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
    com_ptr<IUnknown> object;
    if (FAILED(::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, any_context, IID_IUnknown,
                                  object.put_void())))
        return {};
    ::OleRun(object.get());
    return object.as<IGlobalInterfaceTable>(IID_IGlobalInterfaceTable);
}

}  // namespace

void deliver_to_handlers(event_state& state, const _event_t& event, IGlobalInterfaceTable* git)
{
    std::vector<handler_record> installed;
    {
        state_lock guard(state.lock);
        installed = state.handlers;
    }
    std::vector<kept_handler> kept;
    for (const auto& record : installed) {
        if (record.type != event.type || !git)
            continue;
        com_ptr<IEventHandler> handler;
        // A handler that cannot be reached misses this event.
        if (SUCCEEDED(
                git->GetInterfaceFromGlobal(record.cookie, IID_IEventHandler, handler.put_void())))
            kept.push_back({std::move(handler), record.user_handle});
    }
    for (auto& k : kept) {
        IEventManager* manager = nullptr;
        {
            state_lock guard(state.lock);
            manager = state.manager;  // null once the session closed inside an earlier call
        }
        if (!manager)
            return;
        if (!k.handler)
            throw _com_error(E_POINTER);
        com_ptr<IEvent> object = _event_t::make_com_object(event);
        k.handler->HandleEvent(manager, object.get(), k.user_handle);  // its result is ignored
    }
}

void flush_suspended(event_state& state, std::uint32_t type)
{
    for (;;) {
        std::optional<_event_t> event;
        com_ptr<IGlobalInterfaceTable> git;
        {
            state_lock guard(state.lock);
            event = state.suspended_queue.take_first(type);
            git = state.git;
        }
        if (!event)
            return;
        deliver_to_handlers(state, *event, git.get());
    }
}

HRESULT install_handler(event_state& state, std::uint32_t type, IEventHandler* handler,
                        long user_handle)
{
    com_ptr<IGlobalInterfaceTable> git;
    {
        state_lock guard(state.lock);
        for (const auto& h : state.handlers)
            if (h.type == type)
                throw loc_com_error(IDS_HANDLER_ALREADY_INSTALLED, help_handler_installed,
                                    IID_IEventManager, handler_error);
        git = state.git;
    }
    if (!git) {
        git = make_global_interface_table();
        state_lock guard(state.lock);
        if (!state.git)
            state.git = git;
    }
    // The client's object is asked and registered outside the lock: both call its code.
    com_ptr<IEventHandler> checked;
    if (FAILED(handler->QueryInterface(IID_IEventHandler, checked.put_void())) || !checked)
        throw_bad_handler();
    if (!git)
        throw _com_error(E_POINTER);
    DWORD cookie = 0;
    const HRESULT registered =
        git->RegisterInterfaceInGlobal(checked.get(), IID_IEventHandler, &cookie);
    checked.reset();
    if (FAILED(registered))
        throw_bad_handler();

    state_lock guard(state.lock);
    state.handlers.push_back({cookie, type, user_handle});
    return registered;
}

HRESULT uninstall_handler(event_state& state, std::uint32_t type, long user_handle)
{
    std::vector<DWORD> cookies;
    com_ptr<IGlobalInterfaceTable> git;
    {
        state_lock guard(state.lock);
        for (const auto& h : state.handlers)
            if (h.type == type && h.user_handle == user_handle)
                cookies.push_back(h.cookie);
        git = state.git;
    }
    // Revoking releases the client's object: outside the lock.
    HRESULT result = S_OK;
    bool revoked = false;
    for (DWORD cookie : cookies) {
        if (!git)
            throw _com_error(E_POINTER);
        result = git->RevokeInterfaceFromGlobal(cookie);
        if (FAILED(result))
            break;
        revoked = true;
    }
    if (!revoked)
        throw loc_com_error(IDS_NO_SUCH_HANDLER, help_no_such_handler, IID_IEventManager,
                            handler_error);

    state_lock guard(state.lock);
    std::erase_if(state.handlers, [&](const handler_record& h) {
        return h.type == type && h.user_handle == user_handle;
    });
    return result;
}

}  // namespace mrv::events
