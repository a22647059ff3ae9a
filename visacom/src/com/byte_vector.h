#pragma once
// One-dimensional VT_UI1 arrays [0, count) handed to clients.
//
// A large array made afresh is mapped and zero-filled page by page as it is first written: for a
// megabyte that costs about a tenth of the transfer that fills it, on the caller's thread. So
// for each large size asked for, one block of that size is kept ready, its pages already touched
// by a thread-pool thread while the caller was busy elsewhere; the next array of that size takes
// it as its data and another block is prepared. A client repeating reads of one size gets warm
// pages each time; other sizes, and a block not ready yet, get a fresh array as before.
#include <windows.h>
#include <oleauto.h>

namespace mrv {

// A new array whose contents are undefined (the caller fills them); null when memory is short.
// The array is an ordinary one: SafeArrayDestroy frees it.
SAFEARRAY* new_byte_vector(ULONG count) noexcept;

}  // namespace mrv
