#pragma once
// Byte arrays at the COM boundary: one-dimensional SAFEARRAYs whose data a transfer copies once
// to or from its own buffer. Failures raise win32_hresult_error with the server's texts, which
// each method's boundary reports with its own help context.
#include <windows.h>
#include <oleauto.h>

#include <cstring>

#include "com/byte_vector.h"
#include "com/unique_any.h"
#include "errors/win32_error.h"
#include "resources/string_ids.h"

namespace mrv {

// The element count of a one-dimensional array; -1 when the array has another shape, no bounds
// (a null array) or a descriptor the process cannot read (a caller's stray pointer).
inline long long vector_length(SAFEARRAY* array) noexcept
{
    if (array && ::IsBadReadPtr(array, sizeof *array))
        return -1;
    LONG lower = 0, upper = 0;
    if (::SafeArrayGetDim(array) != 1 || FAILED(::SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(::SafeArrayGetUBound(array, 1, &upper)))
        return -1;
    return static_cast<long long>(upper) - lower + 1;
}

// A new one-dimensional VT_UI1 array [0, count); failure: message 2004 with E_OUTOFMEMORY.
inline safearray new_byte_array(ULONG count)
{
    safearray array(new_byte_vector(count));
    if (!array)
        throw win32_hresult_error(IDS_OUT_OF_MEMORY, E_OUTOFMEMORY);
    return array;
}

// Access to an array's data for the length of a scope. release() ends it and reports a
// failure (message 2003 with the failing HRESULT); a scope left by an exception ends it quietly.
class safearray_data {
public:
    explicit safearray_data(SAFEARRAY* array) : array_(array)
    {
        void* data = nullptr;
        check(::SafeArrayAccessData(array_, &data));
        data_ = static_cast<unsigned char*>(data);
    }
    safearray_data(const safearray_data&) = delete;
    safearray_data& operator=(const safearray_data&) = delete;
    ~safearray_data()
    {
        if (data_)
            ::SafeArrayUnaccessData(array_);
    }

    unsigned char* get() const noexcept { return data_; }

    void release()
    {
        data_ = nullptr;
        check(::SafeArrayUnaccessData(array_));
    }

private:
    static void check(HRESULT hr)
    {
        if (FAILED(hr))
            throw win32_hresult_error(IDS_BAD_ARRAY_ARGUMENT, hr);
    }

    SAFEARRAY* array_;
    unsigned char* data_ = nullptr;
};

// A new array holding the first `count` bytes of `from`'s data.
inline safearray byte_array_copy(SAFEARRAY* from, ULONG count)
{
    safearray to = new_byte_array(count);
    safearray_data source(from), target(to.get());
    std::memcpy(target.get(), source.get(), count);
    target.release();
    source.release();
    return to;
}

}  // namespace mrv
