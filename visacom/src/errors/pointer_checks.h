#pragma once
// Checks of callers' pointer arguments, run before a method uses them. Each raises bad_pointer
// for a null pointer or one the process may not access for the pointee's size.
//
// check_out_pointer(p): p must be writable for sizeof(*p) (1, 2, 4 or 8 bytes); the pointee is
// then zeroed, so an out-parameter is 0 or null when the method fails later.
// check_in_pointer(p): p must be readable for sizeof(*p) (2, 8 or 24 bytes, a VARIANT).
#include <cstddef>
#include <cstring>

namespace mrv {

void check_out_pointer_1(void* p);
void check_out_pointer_2(void* p);
void check_out_pointer_4(void* p);
void check_out_pointer_8(void* p);
void check_in_pointer_2(const void* p);
void check_in_pointer_8(const void* p);
void check_in_pointer_24(const void* p);

template <class T>
void check_out_pointer(T* p)
{
    static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8,
                  "out-parameters are 1, 2, 4 or 8 bytes wide");
    if constexpr (sizeof(T) == 1)
        check_out_pointer_1(p);
    else if constexpr (sizeof(T) == 2)
        check_out_pointer_2(p);
    else if constexpr (sizeof(T) == 4)
        check_out_pointer_4(p);
    else
        check_out_pointer_8(p);
}

template <class T>
void check_in_pointer(const T* p)
{
    static_assert(sizeof(T) == 2 || sizeof(T) == 8 || sizeof(T) == 24,
                  "checked in-parameters are 2, 8 or 24 bytes wide");
    if constexpr (sizeof(T) == 2)
        check_in_pointer_2(p);
    else if constexpr (sizeof(T) == 8)
        check_in_pointer_8(p);
    else
        check_in_pointer_24(p);
}

}  // namespace mrv
