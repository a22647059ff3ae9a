#pragma once
// The session method frame: the one shape of every framed method of a VISA COM session.
//
//   1. take the session's object lock (released on every way out);
//   2. when the session is not open, post the no-open-session error for the method's error
//      interface and return it: no trace record, the last status stays as it was;
//   3. open the method's trace scope with its vocabulary;
//   4-6. run the body inside the method boundary (pointer checks and the work; whatever escapes
//      becomes the result by the method's error policy);
//   7. store the result as the last status, end the scope, unlock, return the result.
//
// A method states only what is its own:
//
//   static constexpr error_policy policy{convert_visa(IID_ISerial), pointer_error(),
//                                        unexpected_error()};
//   return run_framed(session, {IID_ISerial, "ISerial", "get_BaudRate", policy},
//                     {out_param("*pVal", VT_I4, pVal)},
//                     [&] { check_out_pointer(pVal); *pVal = ...; });
//
// The session class T provides session_is_open(), store_last_status(HRESULT) and trace_layer()
// (its trace::trace_layer), and derives
// from CComObjectRootEx<CComMultiThreadModel> (the object lock).
#include <windows.h>

#include <optional>
#include <utility>

#include "com/com_object.h"
#include "com/synchronize.h"
#include "errors/loc_com_error.h"
#include "errors/method_boundary.h"
#include "trace/method_trace_scope.h"

namespace mrv {

struct method_frame {
    const IID& error_iid;        // the interface the no-open-session error is posted for
    const char* interface_name;  // trace vocabulary
    const char* method_name;
    const error_policy& policy;  // handler order of the method boundary
    bool traced = true;          // a few methods run in the frame without a trace record
};

template <class T, class Body>
HRESULT run_framed(T& session, const method_frame& frame, TraceParams params, Body&& body)
{
    synchronize<CComObjectRootEx<CComMultiThreadModel>> guard(session);
    if (!session.session_is_open())
        return no_open_session(frame.error_iid);
    std::optional<MethodTraceScope> scope;
    if (frame.traced)
        scope.emplace(session.trace_layer(), frame.interface_name, frame.method_name, params);
    const HRESULT hr = method_boundary(frame.policy, std::forward<Body>(body));
    session.store_last_status(hr);
    if (scope)
        scope->set_result(hr);
    return hr;
}

}  // namespace mrv
