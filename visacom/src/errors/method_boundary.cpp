#include "errors/method_boundary.h"

#include <oleauto.h>

#include <exception>

#include "errors/bad_pointer.h"
#include "com/com_error.h"
#include "errors/loc_com_error.h"
#include "errors/visa_error.h"
#include "errors/win32_error.h"

namespace mrv {
namespace {

constexpr HRESULT unexpected_hresult = static_cast<HRESULT>(0x8000FFFF);

// Posting must not fail the method: a failure to build the error object leaves the HRESULT.
template <class Make>
HRESULT post(Make&& make, HRESULT fallback) noexcept
{
    try {
        return make().set_error_info();
    } catch (...) {
        return fallback;
    }
}

// Whether the current exception is of the handler's kind; if so, its result in `hr`.
bool try_handler(const exception_handler& h, const std::exception_ptr& ex, HRESULT& hr) noexcept
{
    try {
        std::rethrow_exception(ex);
    } catch (const visa_error& e) {
        if (h.kind != handler_kind::visa)
            return false;
        hr = post([&] { return loc_com_error(e, *h.iid); }, e.hresult());
    } catch (const loc_com_error& e) {
        if (h.kind != handler_kind::loc_com)
            return false;
        hr = e.set_error_info();
    } catch (const win32_error& e) {
        if (h.kind != handler_kind::win32)
            return false;
        hr = post([&] { return win32_com_error(e, h.help_context, *h.iid); }, e.hresult());
    } catch (const _com_error& e) {
        if (h.kind != handler_kind::com_error)
            return false;
        ::SetErrorInfo(0, e.error_info());
        hr = e.Error();
    } catch (const bad_pointer&) {
        if (h.kind != handler_kind::pointer)
            return false;
        hr = E_POINTER;
    } catch (HRESULT thrown) {
        if (h.kind != handler_kind::hresult)
            return false;
        hr = thrown;
    } catch (std::int32_t thrown) {
        if (h.kind != handler_kind::hresult)
            return false;
        hr = static_cast<HRESULT>(thrown);
    } catch (...) {
        return false;
    }
    return true;
}

}  // namespace

HRESULT result_from_caught_exception(const error_policy& policy) noexcept
{
    std::exception_ptr ex = std::current_exception();
    if (!ex)
        return unexpected_hresult;  // called outside a catch block
    for (const exception_handler& h : policy) {
        switch (h.kind) {
        case handler_kind::internal:
            return post([&] { return internal_com_error(*h.iid); }, unexpected_hresult);
        case handler_kind::unexpected:
            return unexpected_hresult;
        default: {
            HRESULT hr = S_OK;
            if (try_handler(h, ex, hr))
                return hr;
        }
        }
    }
    return unexpected_hresult;
}

namespace detail {

HRESULT run_method_body(const error_policy& policy, method_body body, void* context) noexcept
{
    try {
        return body(context);
    } catch (...) {
        return result_from_caught_exception(policy);
    }
}

}  // namespace detail
}  // namespace mrv
