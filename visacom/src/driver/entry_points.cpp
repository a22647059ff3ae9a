#include "driver/entry_points.h"

#include <atomic>
#include <type_traits>
#include <utility>

#include "errors/win32_error.h"

namespace mrv::visa {
namespace {

// The fallback entry, made for each entry's own C type so that it is called exactly as the
// library's function would be.
template <class F>
struct not_implemented;

template <class R, class... A>
struct not_implemented<R (*)(A...)> {
    static R call(A...) noexcept
    {
        if constexpr (!std::is_void_v<R>)
            return VI_ERROR_NIMPL_OPER;
    }
};

template <class R, class... A>
struct not_implemented<R (*)(A..., ...)> {
    static R call(A..., ...) noexcept { return VI_ERROR_NIMPL_OPER; }
};

// (The va_list of the viV... functions carries an attribute that template arguments drop:
// harmless, the type itself is unchanged.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-attributes"
template <entry E>
raw_entry make_fallback() noexcept
{
    return reinterpret_cast<raw_entry>(&not_implemented<entry_pointer<E>>::call);
}
#pragma GCC diagnostic pop

template <std::size_t... I>
std::array<raw_entry, entry_count> make_fallbacks(std::index_sequence<I...>) noexcept
{
    return {make_fallback<static_cast<entry>(I)>()...};
}

const std::array<raw_entry, entry_count>& fallbacks() noexcept
{
    static const auto table = make_fallbacks(std::make_index_sequence<entry_count>{});
    return table;
}

// Read from any thread while another session's resolution writes it: each slot is one atomic
// pointer-sized value, so a reader sees either the old or the new entry, never a torn one.
class process_table {
public:
    process_table() noexcept
    {
        for (std::size_t i = 0; i < entry_count; ++i)
            if (entries[i].kind == entry_kind::process_wide)
                slots_[process_slot(static_cast<entry>(i))].store(fallbacks()[i]);
    }
    std::atomic<raw_entry>& operator[](entry e) noexcept { return slots_[process_slot(e)]; }

private:
    std::array<std::atomic<raw_entry>, process_entry_count> slots_;
};

process_table& process_entries() noexcept
{
    static process_table table;
    return table;
}

}  // namespace

raw_entry fallback_entry(entry e) noexcept
{
    return fallbacks()[index_of(e)];
}

entry_table::entry_table() noexcept
{
    for (std::size_t i = 0; i < entry_count; ++i)
        if (entries[i].kind != entry_kind::process_wide)
            slots_[driver_slot(static_cast<entry>(i))] = fallbacks()[i];
}

raw_entry process_entry_raw(entry e) noexcept
{
    return process_entries()[e].load(std::memory_order_acquire);
}

resolved_entries resolve_entries(HMODULE module)
{
    resolved_entries resolved;
    for (std::size_t i = 0; i < entry_count; ++i) {
        auto found = reinterpret_cast<raw_entry>(GetProcAddress(module, entries[i].name));
        if (!found) {
            if (entries[i].kind != entry_kind::optional)
                throw win32_error(GetLastError());
            found = fallbacks()[i];
        }
        resolved.by_index[i] = found;
    }
    return resolved;
}

void publish(const resolved_entries& resolved, entry_table& table) noexcept
{
    for (std::size_t i = 0; i < entry_count; ++i) {
        const auto e = static_cast<entry>(i);
        if (entries[i].kind == entry_kind::process_wide)
            process_entries()[e].store(resolved.by_index[i], std::memory_order_release);
        else
            table.slots_[driver_slot(e)] = resolved.by_index[i];
    }
}

}  // namespace mrv::visa
