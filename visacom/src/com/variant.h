#pragma once
// variant: an owned VARIANT, cleared with VariantClear on destruction and before reuse.
#include <windows.h>
#include <oleauto.h>

namespace mrv {

class variant {
public:
    variant() noexcept { ::VariantInit(&v_); }
    variant(const variant&) = delete;
    variant& operator=(const variant&) = delete;
    variant(variant&& o) noexcept : v_(o.release()) {}
    variant& operator=(variant&& o) noexcept {
        if (this != &o) { reset(); v_ = o.release(); }
        return *this;
    }
    ~variant() { reset(); }

    void reset() noexcept { ::VariantClear(&v_); }
    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    // The slot for an out-parameter; clears what was held first.
    VARIANT* put() noexcept { reset(); return &v_; }
    // Hands the value to the caller, who must clear it; this holder becomes VT_EMPTY.
    VARIANT release() noexcept {
        VARIANT r = v_;
        ::VariantInit(&v_);
        return r;
    }
    VARTYPE type() const noexcept { return V_VT(&v_); }

private:
    VARIANT v_;
};

}  // namespace mrv
