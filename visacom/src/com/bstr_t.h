#pragma once
// _bstr_t: a shared, reference-counted text. One BSTR, plus its narrow copy in the system ANSI
// code page, made on first request and kept. Copies share both; the text never changes after
// construction, so shared copies may be read from any thread.
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <string_view>

namespace mrv {

class _bstr_t {
public:
    _bstr_t() noexcept = default;
    // Allocation failures raise _com_error(E_OUTOFMEMORY).
    _bstr_t(const wchar_t* text);  // NOLINT: implicit, like the text it holds
    _bstr_t(std::wstring_view text);
    _bstr_t(const char* ansi_text);  // from the ANSI code page
    _bstr_t(std::string_view ansi_text);
    // copy == false takes ownership of `b`; copy == true copies it.
    _bstr_t(BSTR b, bool copy);

    _bstr_t(const _bstr_t& o) noexcept;
    _bstr_t(_bstr_t&& o) noexcept;
    _bstr_t& operator=(const _bstr_t& o) noexcept;
    _bstr_t& operator=(_bstr_t&& o) noexcept;
    ~_bstr_t();

    // The wide text; null for an empty holder.
    const wchar_t* wide() const noexcept;
    // The narrow text; "" for an empty holder. May raise _com_error(E_OUTOFMEMORY) the first time.
    const char* narrow() const;
    operator const wchar_t*() const noexcept { return wide(); }
    operator const char*() const { return narrow(); }

    // Length in characters of the wide text.
    unsigned length() const noexcept;
    bool empty() const noexcept { return length() == 0; }
    // A new BSTR the caller owns (null for an empty holder); raises _com_error(E_OUTOFMEMORY).
    BSTR copy() const;
    // The held BSTR itself, still owned by this holder.
    BSTR GetBSTR() const noexcept { return wide_ptr(); }
    // How many holders share this text (0 for an empty holder).
    long share_count() const noexcept;

    friend bool operator==(const _bstr_t& a, const _bstr_t& b) noexcept;

    struct data;  // the shared block (defined in bstr_t.cpp)

private:
    BSTR wide_ptr() const noexcept;
    void release() noexcept;
    data* data_ = nullptr;
};

}  // namespace mrv
