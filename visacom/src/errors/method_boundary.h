#pragma once
// The COM method boundary: runs a method's body and turns whatever escapes it into the
// method's HRESULT and, for most kinds, a COM error object posted on the calling thread. Each
// method states only its handler order, its error interfaces and its help contexts:
//
//     static constexpr error_policy policy{convert_visa(IID_IVisaSession), pointer_error(),
//                                          internal_error(IID_IVisaSession)};
//     return method_boundary(policy, [&] { ...; return S_OK; });
//
// Handlers are tried in the listed order; the first whose exception kind matches decides the
// result. An exception that no listed handler takes gives E_UNEXPECTED without error
// information. Nothing escapes. A body returning void means S_OK.
#include <windows.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <type_traits>
#include <utility>

namespace mrv {

enum class handler_kind : std::uint8_t {
    visa,        // visa_error: converted for iid (loc_com_error from it), posted
    loc_com,     // loc_com_error (win32_com_error, internal_com_error): reports itself
    win32,       // win32_error (win32_hresult_error): win32_com_error for iid, help_context
    com_error,   // _com_error: its HRESULT; its error object (or none) set on the thread
    pointer,     // bad_pointer: E_POINTER, thread's error object left alone
    hresult,     // a bare HRESULT thrown as a 32-bit integer: returned unchanged
    internal,    // anything: internal_com_error for iid, posted (0x8000FFFF)
    unexpected,  // anything: E_UNEXPECTED without error information
};

struct exception_handler {
    handler_kind kind;
    const IID* iid = nullptr;
    DWORD help_context = 0;
};

constexpr exception_handler convert_visa(const IID& iid)
{
    return {handler_kind::visa, &iid};
}
constexpr exception_handler report_loc_com()
{
    return {handler_kind::loc_com};
}
constexpr exception_handler convert_win32(const IID& iid, DWORD help_context)
{
    return {handler_kind::win32, &iid, help_context};
}
constexpr exception_handler pass_com_error()
{
    return {handler_kind::com_error};
}
constexpr exception_handler pointer_error()
{
    return {handler_kind::pointer};
}
constexpr exception_handler pass_hresult()
{
    return {handler_kind::hresult};
}
constexpr exception_handler internal_error(const IID& iid)
{
    return {handler_kind::internal, &iid};
}
constexpr exception_handler unexpected_error()
{
    return {handler_kind::unexpected};
}

class error_policy {
public:
    static constexpr std::size_t max_handlers = 8;

    constexpr error_policy(std::initializer_list<exception_handler> handlers)
    {
        for (const auto& h : handlers) {
            if (count_ == max_handlers)
                break;
            handlers_[count_++] = h;
        }
    }
    constexpr const exception_handler* begin() const { return handlers_.data(); }
    constexpr const exception_handler* end() const { return handlers_.data() + count_; }

private:
    std::array<exception_handler, max_handlers> handlers_{};
    std::size_t count_ = 0;
};

// Methods whose only failure is a bad pointer, reported without an error object.
inline constexpr error_policy pointer_or_unexpected{pointer_error(), unexpected_error()};

namespace detail {
using method_body = HRESULT (*)(void* context);
// The one compiled try/catch behind every method.
HRESULT run_method_body(const error_policy& policy, method_body body, void* context) noexcept;
}  // namespace detail

// The HRESULT of the exception being handled, by `policy`. Call only inside a catch block.
HRESULT result_from_caught_exception(const error_policy& policy) noexcept;

template <class Body>
HRESULT method_boundary(const error_policy& policy, Body&& body) noexcept
{
    using body_type = std::remove_reference_t<Body>;
    return detail::run_method_body(
        policy,
        [](void* context) -> HRESULT {
            body_type& b = *static_cast<body_type*>(context);
            if constexpr (std::is_void_v<decltype(b())>) {
                b();
                return S_OK;
            } else {
                return b();
            }
        },
        const_cast<void*>(static_cast<const void*>(std::addressof(body))));
}

}  // namespace mrv
