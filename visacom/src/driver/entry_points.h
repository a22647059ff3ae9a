#pragma once
// Resolving the entry table from a loaded VISA library, and the four entry points that the whole
// process shares (viClose, viSetAttribute, viGetAttribute, viStatusDesc).
#include <windows.h>

#include <array>

#include "driver/visa_entries.h"

namespace mrv::visa {

// An entry point before it is given its C type. void(*)() converts to and from every function
// pointer type without losing anything.
using raw_entry = void (*)();

// Every entry point of one loaded library, by entry index, not yet put in place.
struct resolved_entries {
    std::array<raw_entry, entry_count> by_index{};
};

// The per-driver part of the entry table; the fallback entries until a resolution is published.
class entry_table {
public:
    entry_table() noexcept;

    template <entry E>
    entry_pointer<E> get() const noexcept
    {
        static_assert(kind_of(E) != entry_kind::process_wide,
                      "process-wide entries live in the process table: use process_entry<E>()");
        return reinterpret_cast<entry_pointer<E>>(slots_[driver_slot(E)]);
    }

private:
    friend void publish(const resolved_entries&, entry_table&) noexcept;
    std::array<raw_entry, driver_entry_count> slots_{};
};

// One resolution pass over `module`: required entries first, then optional ones, each by name.
// A missing required entry raises win32_error with the loader's last error; a missing optional
// one gets the fallback entry, which answers VI_ERROR_NIMPL_OPER.
resolved_entries resolve_entries(HMODULE module);

// Puts a complete resolution in place: the driver's entries into `table`, the process-wide ones
// into the process table, each as one whole pointer-sized store.
void publish(const resolved_entries& resolved, entry_table& table) noexcept;

// The fallback entry of an entry: takes the entry's arguments and answers VI_ERROR_NIMPL_OPER
// (or, for the viPeek/viPoke family, does nothing). It stands in for an optional entry that the
// library lacks, and for every entry before any library is resolved.
raw_entry fallback_entry(entry e) noexcept;

// The process-wide entries, as the most recent successful resolution left them (the fallback
// entry before any). They stay in place when that library is unloaded again.
raw_entry process_entry_raw(entry e) noexcept;

template <entry E>
entry_pointer<E> process_entry() noexcept
{
    static_assert(kind_of(E) == entry_kind::process_wide, "not a process-wide entry");
    return reinterpret_cast<entry_pointer<E>>(process_entry_raw(E));
}

// The process-wide calls for callers without a driver (event contexts, error texts). They return
// the VISA status as it is; the caller decides what a failure means.
inline ViStatus process_viClose(ViObject object)
{
    return process_entry<entry::viClose>()(object);
}
inline ViStatus process_viSetAttribute(ViObject object, ViAttr attribute, ViAttrState value)
{
    return process_entry<entry::viSetAttribute>()(object, attribute, value);
}
inline ViStatus process_viGetAttribute(ViObject object, ViAttr attribute, void* value)
{
    return process_entry<entry::viGetAttribute>()(object, attribute, value);
}
inline ViStatus process_viStatusDesc(ViObject object, ViStatus status, ViChar description[])
{
    return process_entry<entry::viStatusDesc>()(object, status, description);
}

}  // namespace mrv::visa
