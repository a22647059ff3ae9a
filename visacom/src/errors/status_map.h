#pragma once
// The VISA status map: which HRESULT and help context a VISA status is reported with.
#include <windows.h>

#include <cstdint>

namespace mrv {

using vi_status = std::int32_t;    // ViStatus
using vi_session = std::uint32_t;  // ViSession / ViObject

struct status_mapping {
    HRESULT hresult;
    DWORD help_context;
};

// HRESULT and help context of a status outside the map (the VISA system error's HRESULT).
inline constexpr status_mapping unmapped_status{static_cast<HRESULT>(0x80040000), 0};

// The mapping of `status`; unmapped_status when the map does not list it.
status_mapping map_status(vi_status status) noexcept;
// Whether the map lists `status`.
bool status_is_mapped(vi_status status) noexcept;

}  // namespace mrv
