#include "frame/frame_params.h"

#include <cstring>

#include "errors/bad_pointer.h"

namespace mrv {

namespace {

void check_one(const frame_param& p)
{
    void* pointer = const_cast<void*>(p.trace.value);
    if (p.of_value && pointer)
        std::memcpy(&pointer, p.trace.value, sizeof pointer);
    switch (p.check) {
    case pointer_check::none:
        return;
    case pointer_check::readable:
        if (!pointer || ::IsBadReadPtr(pointer, p.size))
            throw bad_pointer();
        return;
    case pointer_check::writable:
        if (!pointer || ::IsBadWritePtr(pointer, p.size))
            throw bad_pointer();
        return;
    case pointer_check::cleared:
        if (!pointer || ::IsBadWritePtr(pointer, p.size))
            throw bad_pointer();
        std::memset(pointer, 0, p.size);
        return;
    case pointer_check::text_or_null:
        if (!pointer)
            return;
        [[fallthrough]];
    case pointer_check::text:
        if (!pointer ||
            ::IsBadReadPtr(static_cast<char*>(pointer) - sizeof(UINT), sizeof(UINT) + p.size))
            throw bad_pointer();
        return;
    case pointer_check::read_write:
        if (!pointer || ::IsBadReadPtr(pointer, p.size) || ::IsBadWritePtr(pointer, p.size))
            throw bad_pointer();
        return;
    }
}

}  // namespace

void check_frame_params(const frame_param* params, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        check_one(params[i]);
}

}  // namespace mrv
