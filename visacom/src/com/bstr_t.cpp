#include "com/bstr_t.h"

#include <windows.h>

#include <cwchar>
#include <new>

#include "com/com_error.h"

namespace mrv {

struct _bstr_t::data {
    std::atomic<long> refs{1};
    BSTR wide = nullptr;
    mutable std::atomic<char*> narrow{nullptr};

    ~data()
    {
        ::SysFreeString(wide);
        delete[] narrow.load();
    }
};

namespace {

_bstr_t::data* make_data(BSTR owned)
{
    auto* d = new (std::nothrow) _bstr_t::data;
    if (!d) {
        ::SysFreeString(owned);
        throw _com_error(E_OUTOFMEMORY);
    }
    d->wide = owned;
    return d;
}

BSTR alloc_wide(const wchar_t* text, std::size_t len)
{
    BSTR b = ::SysAllocStringLen(text, static_cast<UINT>(len));
    if (!b)
        throw _com_error(E_OUTOFMEMORY);
    return b;
}

BSTR alloc_from_ansi(std::string_view text)
{
    int n = text.empty() ? 0
                         : ::MultiByteToWideChar(CP_ACP, 0, text.data(),
                                                 static_cast<int>(text.size()), nullptr, 0);
    BSTR b = ::SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (!b)
        throw _com_error(E_OUTOFMEMORY);
    if (n > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), b, n);
    return b;
}

}  // namespace

_bstr_t::_bstr_t(const wchar_t* text)
{
    if (text)
        data_ = make_data(alloc_wide(text, std::wcslen(text)));
}
_bstr_t::_bstr_t(std::wstring_view text) : data_(make_data(alloc_wide(text.data(), text.size()))) {}
_bstr_t::_bstr_t(const char* ansi_text)
{
    if (ansi_text)
        data_ = make_data(alloc_from_ansi(ansi_text));
}
_bstr_t::_bstr_t(std::string_view ansi_text) : data_(make_data(alloc_from_ansi(ansi_text))) {}
_bstr_t::_bstr_t(BSTR b, bool copy)
{
    if (!b)
        return;
    data_ = make_data(copy ? alloc_wide(b, ::SysStringLen(b)) : b);
}

_bstr_t::_bstr_t(const _bstr_t& o) noexcept : data_(o.data_)
{
    if (data_)
        ++data_->refs;
}
_bstr_t::_bstr_t(_bstr_t&& o) noexcept : data_(o.data_)
{
    o.data_ = nullptr;
}
_bstr_t& _bstr_t::operator=(const _bstr_t& o) noexcept
{
    if (o.data_)
        ++o.data_->refs;
    release();
    data_ = o.data_;
    return *this;
}
_bstr_t& _bstr_t::operator=(_bstr_t&& o) noexcept
{
    if (this != &o) {
        release();
        data_ = o.data_;
        o.data_ = nullptr;
    }
    return *this;
}
_bstr_t::~_bstr_t()
{
    release();
}

void _bstr_t::release() noexcept
{
    if (data_ && --data_->refs == 0)
        delete data_;
    data_ = nullptr;
}

BSTR _bstr_t::wide_ptr() const noexcept
{
    return data_ ? data_->wide : nullptr;
}
const wchar_t* _bstr_t::wide() const noexcept
{
    return wide_ptr();
}
unsigned _bstr_t::length() const noexcept
{
    return data_ ? ::SysStringLen(data_->wide) : 0;
}
long _bstr_t::share_count() const noexcept
{
    return data_ ? data_->refs.load() : 0;
}

const char* _bstr_t::narrow() const
{
    if (!data_)
        return "";
    if (char* ready = data_->narrow.load(std::memory_order_acquire))
        return ready;
    int len = static_cast<int>(::SysStringLen(data_->wide));
    int n =
        len ? ::WideCharToMultiByte(CP_ACP, 0, data_->wide, len, nullptr, 0, nullptr, nullptr) : 0;
    char* made = new (std::nothrow) char[static_cast<std::size_t>(n) + 1];
    if (!made)
        throw _com_error(E_OUTOFMEMORY);
    if (n)
        ::WideCharToMultiByte(CP_ACP, 0, data_->wide, len, made, n, nullptr, nullptr);
    made[n] = '\0';
    // Two threads may both convert; the first to publish wins and the other copy is dropped.
    char* expected = nullptr;
    if (!data_->narrow.compare_exchange_strong(expected, made, std::memory_order_acq_rel)) {
        delete[] made;
        return expected;
    }
    return made;
}

BSTR _bstr_t::copy() const
{
    if (!data_)
        return nullptr;
    return alloc_wide(data_->wide, ::SysStringLen(data_->wide));
}

bool operator==(const _bstr_t& a, const _bstr_t& b) noexcept
{
    unsigned la = a.length();
    if (la != b.length())
        return false;
    return la == 0 || std::wmemcmp(a.wide(), b.wide(), la) == 0;
}

}  // namespace mrv
