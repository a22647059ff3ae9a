#pragma once
// variant: an owned VARIANT, cleared with VariantClear on destruction and before reuse.
// Its copy and conversion raise _com_error with the failing call's HRESULT.
#include <windows.h>
#include <oleauto.h>

#include "com/com_error.h"

namespace mrv {

class variant {
public:
    variant() noexcept { ::VariantInit(&v_); }
    variant(const variant&) = delete;
    variant& operator=(const variant&) = delete;
    variant(variant&& o) noexcept : v_(o.release()) {}
    variant& operator=(variant&& o) noexcept
    {
        if (this != &o) {
            reset();
            v_ = o.release();
        }
        return *this;
    }
    ~variant() { reset(); }

    void reset() noexcept { ::VariantClear(&v_); }
    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    // The slot for an out-parameter; clears what was held first.
    VARIANT* put() noexcept
    {
        reset();
        return &v_;
    }
    // Hands the value to the caller, who must clear it; this holder becomes VT_EMPTY.
    VARIANT release() noexcept
    {
        VARIANT r = v_;
        ::VariantInit(&v_);
        return r;
    }
    VARTYPE type() const noexcept { return V_VT(&v_); }

    // A deep copy of `source` (VariantCopy).
    static variant copy_of(const VARIANT& source)
    {
        variant v;
        // VariantCopy takes a non-const source but does not change it.
        HRESULT hr = ::VariantCopy(v.get(), const_cast<VARIANT*>(&source));
        if (FAILED(hr))
            throw _com_error(hr);
        return v;
    }
    // Converts the value in place to `type` (VariantChangeType).
    void change_type(VARTYPE type)
    {
        HRESULT hr = ::VariantChangeType(&v_, &v_, 0, type);
        if (FAILED(hr))
            throw _com_error(hr);
    }

private:
    VARIANT v_;
};

}  // namespace mrv
