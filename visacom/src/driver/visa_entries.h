#pragma once
// The VISA library's entry points as one table of data: every function the driver resolves, in
// resolution order (the required ones, then the optional ones), with its kind. Everything else
// about an entry (its id, its C type, its slot, its fallback) is derived from this one list.
#include <visa.h>

#include <array>
#include <cstddef>
#include <cstdint>

// X(name, kind): kind is `required`, `process_wide` (required, stored once for the process) or
// `optional` (a missing one is replaced by the fallback entry).
// clang-format off
#define MRV_VISA_ENTRIES(X)                                                                      \
    X(viOpenDefaultRM, required) X(viFindRsrc, required) X(viFindNext, required)                 \
    X(viOpen, required) X(viClose, process_wide) X(viSetAttribute, process_wide)                 \
    X(viGetAttribute, process_wide) X(viStatusDesc, process_wide) X(viTerminate, required)       \
    X(viLock, required) X(viUnlock, required) X(viEnableEvent, required)                         \
    X(viDisableEvent, required) X(viDiscardEvents, required) X(viWaitOnEvent, required)          \
    X(viInstallHandler, required) X(viUninstallHandler, required) X(viRead, required)            \
    X(viReadAsync, required) X(viWrite, required) X(viWriteAsync, required)                      \
    X(viAssertTrigger, required) X(viReadSTB, required) X(viClear, required)                     \
    X(viSetBuf, required) X(viFlush, required) X(viBufWrite, required) X(viBufRead, required)    \
    X(viPrintf, required) X(viVPrintf, required) X(viSPrintf, required)                          \
    X(viVSPrintf, required) X(viScanf, required) X(viVScanf, required) X(viSScanf, required)     \
    X(viVSScanf, required) X(viQueryf, required) X(viVQueryf, required)                          \
    X(viIn8, required) X(viOut8, required) X(viIn16, required) X(viOut16, required)              \
    X(viIn32, required) X(viOut32, required) X(viIn64, required) X(viOut64, required)            \
    X(viIn8Ex, required) X(viOut8Ex, required) X(viIn16Ex, required) X(viOut16Ex, required)      \
    X(viIn32Ex, required) X(viOut32Ex, required) X(viIn64Ex, required) X(viOut64Ex, required)    \
    X(viMoveIn8, required) X(viMoveOut8, required) X(viMoveIn16, required)                       \
    X(viMoveOut16, required) X(viMoveIn32, required) X(viMoveOut32, required)                    \
    X(viMoveIn64, required) X(viMoveOut64, required) X(viMoveIn8Ex, required)                    \
    X(viMoveOut8Ex, required) X(viMoveIn16Ex, required) X(viMoveOut16Ex, required)               \
    X(viMoveIn32Ex, required) X(viMoveOut32Ex, required) X(viMoveIn64Ex, required)               \
    X(viMoveOut64Ex, required) X(viMove, required) X(viMoveAsync, required)                      \
    X(viMoveEx, required) X(viMoveAsyncEx, required) X(viMapAddress, required)                   \
    X(viUnmapAddress, required) X(viMapAddressEx, required) X(viPeek8, required)                 \
    X(viPoke8, required) X(viPeek16, required) X(viPoke16, required) X(viPeek32, required)       \
    X(viPoke32, required) X(viPeek64, required) X(viPoke64, required) X(viMemAlloc, required)    \
    X(viMemFree, required) X(viMemAllocEx, required) X(viMemFreeEx, required)                    \
    X(viGpibControlREN, required) X(viVxiCommandQuery, required)                                 \
    X(viGpibControlATN, optional) X(viGpibSendIFC, optional) X(viGpibCommand, optional)          \
    X(viGpibPassControl, optional) X(viParseRsrc, optional) X(viParseRsrcEx, optional)           \
    X(viUsbControlOut, optional) X(viUsbControlIn, optional)
// clang-format on

namespace mrv::visa {

enum class entry_kind : std::uint8_t { required, process_wide, optional };

enum class entry : std::size_t {
#define MRV_VISA_ENTRY_ID(name, kind) name,
    MRV_VISA_ENTRIES(MRV_VISA_ENTRY_ID)
#undef MRV_VISA_ENTRY_ID
};

struct entry_info {
    const char* name;
    entry_kind kind;
};

inline constexpr entry_info entries[] = {
#define MRV_VISA_ENTRY_INFO(name, kind) {#name, entry_kind::kind},
    MRV_VISA_ENTRIES(MRV_VISA_ENTRY_INFO)
#undef MRV_VISA_ENTRY_INFO
};

inline constexpr std::size_t entry_count = std::size(entries);
static_assert(entry_count == 99, "the VISA binding resolves 99 entry points");

constexpr std::size_t index_of(entry e) noexcept
{
    return static_cast<std::size_t>(e);
}
constexpr entry_kind kind_of(entry e) noexcept
{
    return entries[index_of(e)].kind;
}

// Entries up to (not including) index `end` that are of kind `k` (or not of it).
constexpr std::size_t count_kind(std::size_t end, entry_kind k, bool is) noexcept
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < end; ++i)
        n += (entries[i].kind == k) == is;
    return n;
}

inline constexpr std::size_t process_entry_count =
    count_kind(entry_count, entry_kind::process_wide, true);
inline constexpr std::size_t driver_entry_count = entry_count - process_entry_count;
static_assert(process_entry_count == 4 && driver_entry_count == 95);

// Where an entry lives: its slot in the driver's table, or in the process-wide table.
constexpr std::size_t driver_slot(entry e) noexcept
{
    return count_kind(index_of(e), entry_kind::process_wide, false);
}
constexpr std::size_t process_slot(entry e) noexcept
{
    return count_kind(index_of(e), entry_kind::process_wide, true);
}

// The C type of each entry, taken from the VISA header's prototype.
template <entry E>
struct entry_signature;
#define MRV_VISA_ENTRY_SIGNATURE(name, kind)                                                       \
    template <>                                                                                    \
    struct entry_signature<entry::name> {                                                          \
        using type = decltype(&::name);                                                            \
    };
MRV_VISA_ENTRIES(MRV_VISA_ENTRY_SIGNATURE)
#undef MRV_VISA_ENTRY_SIGNATURE

template <entry E>
using entry_pointer = typename entry_signature<E>::type;

}  // namespace mrv::visa
