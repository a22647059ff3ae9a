#include "errors/status_map.h"

#include <algorithm>
#include <array>

namespace mrv {
namespace {

// The listed statuses, as unsigned 32-bit values in ascending order (binary search).
constexpr std::uint32_t ok(std::uint32_t low)
{
    return 0x3FFF0000u | low;
}
constexpr std::uint32_t err(std::uint32_t low)
{
    return 0xBFFF0000u | low;
}

constexpr std::array<std::uint32_t, 94> listed_statuses = {
    0x00000000u,  // VI_SUCCESS
    ok(0x0002),  ok(0x0003),  ok(0x0004),  ok(0x0005),  ok(0x0006),  ok(0x0077),  ok(0x007D),
    ok(0x007E),  ok(0x0080),  ok(0x0082),  ok(0x0084),  ok(0x0085),  ok(0x0088),  ok(0x0098),
    ok(0x0099),  ok(0x009A),  ok(0x009B),  err(0x0000), err(0x000E), err(0x000F), err(0x0010),
    err(0x0011), err(0x0012), err(0x0013), err(0x0015), err(0x0016), err(0x001B), err(0x001C),
    err(0x001D), err(0x001E), err(0x001F), err(0x0020), err(0x0021), err(0x0026), err(0x0027),
    err(0x0028), err(0x0029), err(0x002A), err(0x002F), err(0x0030), err(0x0034), err(0x0035),
    err(0x0036), err(0x0037), err(0x0038), err(0x003A), err(0x003B), err(0x003C), err(0x003D),
    err(0x003E), err(0x003F), err(0x0041), err(0x0042), err(0x0046), err(0x004A), err(0x004E),
    err(0x0051), err(0x0052), err(0x0054), err(0x0055), err(0x0057), err(0x0059), err(0x005F),
    err(0x0060), err(0x0061), err(0x0067), err(0x0068), err(0x006A), err(0x006B), err(0x006C),
    err(0x006E), err(0x0070), err(0x0071), err(0x0072), err(0x0076), err(0x0078), err(0x0079),
    err(0x007B), err(0x0080), err(0x0081), err(0x0083), err(0x0091), err(0x009C), err(0x009D),
    err(0x009E), err(0x009F), err(0x00A0), err(0x00A1), err(0x00A2), err(0x00A3), err(0x00A4),
    err(0x00A5), err(0x00A6),
};
static_assert(std::is_sorted(listed_statuses.begin(), listed_statuses.end()),
              "the status list must stay sorted for binary search");
static_assert(std::adjacent_find(listed_statuses.begin(), listed_statuses.end()) ==
                  listed_statuses.end(),
              "a status is listed twice");

}  // namespace

bool status_is_mapped(vi_status status) noexcept
{
    return std::binary_search(listed_statuses.begin(), listed_statuses.end(),
                              static_cast<std::uint32_t>(status));
}

status_mapping map_status(vi_status status) noexcept
{
    if (!status_is_mapped(status))
        return unmapped_status;
    auto s = static_cast<std::uint32_t>(status);
    if (s == 0)
        return {S_OK, 0};
    // Severity bit kept, facility 4 (FACILITY_ITF), code = the status's low 16 bits; the help
    // context is the status itself.
    return {static_cast<HRESULT>((s & 0x8000FFFFu) | 0x00040000u), static_cast<DWORD>(s)};
}

}  // namespace mrv
