#pragma once
// The record a monitor takes from the trace pipe, made from whatever bytes a writer left there:
// any length, odd or even, with or without its NUL.
#include <windows.h>

#include "record_queue.h"

namespace iomonitor {

// The text up to the first NUL. `cut` is set when the record did not fit the reader's buffer or
// has no NUL: a writer sends each record with its NUL and cuts only records larger than the
// pipe, so a record without one is not whole.
taken_record record_from_pipe(const wchar_t* data, DWORD bytes, bool larger_than_buffer);

}  // namespace iomonitor
