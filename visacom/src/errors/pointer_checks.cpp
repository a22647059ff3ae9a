#include "errors/pointer_checks.h"

#include <windows.h>

#include "errors/bad_pointer.h"
#include "errors/resource_string.h"
#include "resources/string_ids.h"

namespace mrv {
namespace {

void check_writable_and_clear(void* p, std::size_t size)
{
    if (!p || ::IsBadWritePtr(p, size))
        throw bad_pointer();
    std::memset(p, 0, size);
}

void check_readable(const void* p, std::size_t size)
{
    if (!p || ::IsBadReadPtr(p, size))
        throw bad_pointer();
}

}  // namespace

bad_pointer::bad_pointer() : std::runtime_error(resource_string(IDS_BAD_POINTER).text()) {}

void check_out_pointer_1(void* p)
{
    check_writable_and_clear(p, 1);
}
void check_out_pointer_2(void* p)
{
    check_writable_and_clear(p, 2);
}
void check_out_pointer_4(void* p)
{
    check_writable_and_clear(p, 4);
}
void check_out_pointer_8(void* p)
{
    check_writable_and_clear(p, 8);
}
void check_in_pointer_2(const void* p)
{
    check_readable(p, 2);
}
void check_in_pointer_8(const void* p)
{
    check_readable(p, 8);
}
void check_in_pointer_24(const void* p)
{
    check_readable(p, 24);
}

}  // namespace mrv
