#pragma once
// The session method frame: the one shape of every framed method of a VISA COM session.
//
//   1. take the session's object lock (released on every way out);
//   2. when the session is not open, post the no-open-session error for the method's error
//      interface and return it: no trace record, the last status stays as it was;
//   3. open the method's trace scope with its vocabulary;
//   4. check the parameters' pointers, in parameter order (frame_params.h);
//   5. run the body inside the method boundary (whatever escapes becomes the result by the
//      method's error policy);
//   6. store the result as the last status, end the scope, unlock, return the result.
//
// Each interface has one descriptor; a method states only its name, its parameters, its body and
// how it differs from its interface's defaults:
//
//   inline constexpr interface_frame serial_frame{IID_ISerial, "ISerial", policy};
//   return run_framed(session(), serial_frame, __func__, {param::out("*pVal", pVal)},
//                     [&] { *pVal = ...; });
//
// The session class T provides session_is_open(), store_last_status(HRESULT) and trace_layer()
// (its trace::trace_layer), and derives from CComObjectRootEx<CComMultiThreadModel> (the object
// lock).
#include <windows.h>

#include <array>
#include <optional>
#include <utility>

#include "com/com_object.h"
#include "com/synchronize.h"
#include "errors/loc_com_error.h"
#include "errors/method_boundary.h"
#include "frame/frame_params.h"
#include "trace/method_trace_scope.h"

namespace mrv {

// How long a method holds the object lock.
enum class frame_lock : unsigned char {
    whole_call,       // the default: calls on one session are serialised
    open_check_only,  // a method that waits must not keep other calls out meanwhile
    none,             // a method that may run at any time, in any state
};

struct interface_frame {
    const IID* iid;          // the interface the no-open-session error is posted for
    const char* trace_name;  // the interface name of the trace records
    error_policy policy;     // handler order of the method boundary
    bool traced = true;      // a few methods run in the frame without a trace record
    frame_lock lock = frame_lock::whole_call;
    bool needs_open = true;     // checks that the session is open
    bool stores_status = true;  // stores its result as the last status

    constexpr interface_frame with(const error_policy& other) const
    {
        interface_frame f = *this;
        f.policy = other;
        return f;
    }
    constexpr interface_frame untraced() const
    {
        interface_frame f = *this;
        f.traced = false;
        return f;
    }
    constexpr interface_frame locked_for_open_check() const
    {
        interface_frame f = *this;
        f.lock = frame_lock::open_check_only;
        return f;
    }
    // No lock, no open check, the last status left alone: a method that only reads the session.
    constexpr interface_frame outside_session_state() const
    {
        interface_frame f = *this;
        f.lock = frame_lock::none;
        f.needs_open = false;
        f.stores_status = false;
        return f;
    }
};

namespace detail {

// The frame after the open check: trace scope, checks, body, last status.
template <class T, class Body>
HRESULT framed_call(T& session, const interface_frame& frame, const char* method,
                    frame_params params, Body& body)
{
    std::array<TraceParam, MethodTraceScope::kMaxParams> trace{};
    std::size_t count = 0;
    for (const frame_param& p : params)
        if (count < trace.size())
            trace[count++] = p.trace;
    std::optional<MethodTraceScope> scope;
    if (frame.traced)
        scope.emplace(session.trace_layer(), frame.trace_name, method, trace.data(), count);
    const HRESULT hr = method_boundary(frame.policy, [&] {
        check_frame_params(params.begin(), params.size());
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            return S_OK;
        } else {
            return body();
        }
    });
    if (frame.stores_status)
        session.store_last_status(hr);
    if (scope)
        scope->set_result(hr);
    return hr;
}

template <class T>
bool open_under_lock(T& session)
{
    synchronize<CComObjectRootEx<CComMultiThreadModel>> guard(session);
    return session.session_is_open();
}

}  // namespace detail

template <class T, class Body>
HRESULT run_framed(T& session, const interface_frame& frame, const char* method,
                   frame_params params, Body&& body)
{
    if (frame.lock == frame_lock::whole_call) {
        synchronize<CComObjectRootEx<CComMultiThreadModel>> guard(session);
        if (frame.needs_open && !session.session_is_open())
            return no_open_session(*frame.iid);
        return detail::framed_call(session, frame, method, params, body);
    }
    if (frame.needs_open && !detail::open_under_lock(session))
        return no_open_session(*frame.iid);
    return detail::framed_call(session, frame, method, params, body);
}

// The frame of a method that must not hold the object lock across its work (a wait): the lock
// is taken only for the open check.
template <class T, class Body>
HRESULT run_framed_unlocked(T& session, const interface_frame& frame, const char* method,
                            frame_params params, Body&& body)
{
    return run_framed(session, frame.locked_for_open_check(), method, params, body);
}

}  // namespace mrv
