#pragma once
// com_ptr<T>: an owning COM reference. Releases on destruction; never adds a reference it was
// not asked to. put() hands out the address of the raw slot for out-parameters.
#include <unknwn.h>

#include <utility>

namespace mrv {

template <class T>
class com_ptr {
public:
    com_ptr() noexcept = default;
    com_ptr(std::nullptr_t) noexcept {}
    // Takes over a reference the caller already owns.
    static com_ptr attach(T* p) noexcept
    {
        com_ptr r;
        r.p_ = p;
        return r;
    }
    // Adds a reference of its own.
    static com_ptr copy(T* p) noexcept
    {
        if (p)
            p->AddRef();
        return attach(p);
    }

    com_ptr(const com_ptr& o) noexcept : p_(o.p_)
    {
        if (p_)
            p_->AddRef();
    }
    com_ptr(com_ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    com_ptr& operator=(com_ptr o) noexcept
    {
        std::swap(p_, o.p_);
        return *this;
    }
    ~com_ptr() { reset(); }

    void reset() noexcept
    {
        if (auto p = std::exchange(p_, nullptr))
            p->Release();
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    T** put() noexcept
    {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    T* detach() noexcept { return std::exchange(p_, nullptr); }

    template <class U>
    com_ptr<U> as(REFIID iid) const noexcept
    {
        com_ptr<U> r;
        if (p_)
            p_->QueryInterface(iid, r.put_void());
        return r;
    }

private:
    T* p_ = nullptr;
};

}  // namespace mrv
