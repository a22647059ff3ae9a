// Pointer checks against read-only and inaccessible memory, at page edges. Null and whole
// inaccessible or read-only pages are the session pointer test's, through every method.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "errors/bad_pointer.h"
#include "errors/pointer_checks.h"

namespace mrv {
namespace {

// Two pages: the first with `first` protection, the second inaccessible.
class guarded_pages {
public:
    explicit guarded_pages(DWORD first)
    {
        base_ = static_cast<std::uint8_t*>(
            ::VirtualAlloc(nullptr, 2 * page(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old = 0;
        ::VirtualProtect(base_ + page(), page(), PAGE_NOACCESS, &old);
        std::fill(base_, base_ + page(), 0xCD);
        ::VirtualProtect(base_, page(), first, &old);
    }
    ~guarded_pages() { ::VirtualFree(base_, 0, MEM_RELEASE); }
    // The address `back` bytes before the end of the first page.
    std::uint8_t* before_end(std::size_t back) const { return base_ + page() - back; }
    std::uint8_t* guard() const { return base_ + page(); }
    static std::size_t page()
    {
        SYSTEM_INFO si;
        ::GetSystemInfo(&si);
        return si.dwPageSize;
    }

private:
    std::uint8_t* base_;
};

TEST(PointerChecks, OutPointersAreZeroedWhenWritable)
{
    LONG value = 0x5A5A5A5A;
    check_out_pointer(&value);
    EXPECT_EQ(0, value);
    BSTR text = reinterpret_cast<BSTR>(0xdeadbeef);
    check_out_pointer(&text);
    EXPECT_EQ(nullptr, text);
}

TEST(PointerChecks, ReadOnlyMemoryFailsOutChecksButPassesInChecks)
{
    guarded_pages pages(PAGE_READONLY);
    auto* p = pages.before_end(24);
    EXPECT_THROW(check_out_pointer(reinterpret_cast<std::uint8_t*>(p)), bad_pointer);
    EXPECT_THROW(check_out_pointer(reinterpret_cast<LONGLONG*>(p)), bad_pointer);
    EXPECT_NO_THROW(check_in_pointer(reinterpret_cast<const VARIANT*>(p)));
    EXPECT_EQ(0xCD, *p) << "a failed check writes nothing";
}

TEST(PointerChecks, ThePointeesWholeWidthMustBeAccessible)
{
    guarded_pages pages(PAGE_READWRITE);
    // 4 bytes before the inaccessible page: 4-byte checks pass, 8- and 24-byte ones fail.
    auto* p = pages.before_end(4);
    EXPECT_NO_THROW(check_out_pointer(reinterpret_cast<LONG*>(p)));
    EXPECT_THROW(check_out_pointer(reinterpret_cast<LONGLONG*>(p)), bad_pointer);
    EXPECT_THROW(check_in_pointer(reinterpret_cast<const double*>(p)), bad_pointer);
    EXPECT_THROW(check_in_pointer(reinterpret_cast<const VARIANT*>(pages.before_end(16))),
                 bad_pointer);
    EXPECT_NO_THROW(check_in_pointer(reinterpret_cast<const VARIANT*>(pages.before_end(24))));
    EXPECT_THROW(check_in_pointer(reinterpret_cast<const wchar_t*>(pages.guard())), bad_pointer);
}

}  // namespace
}  // namespace mrv
