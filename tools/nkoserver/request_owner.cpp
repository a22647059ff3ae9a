#include "request_owner.h"

#include <cstdint>

namespace nkoserver {

DWORD request_refusal(const mrv::nko::request& request, DWORD client)
{
    const auto process = request.number("ProcId");
    if (!process)
        return ERROR_INVALID_PARAMETER;
    // Clients write the id as a signed 32-bit number.
    const bool fits = *process >= INT32_MIN && *process <= static_cast<std::int64_t>(UINT32_MAX);
    if (!fits || client == 0 || static_cast<DWORD>(*process) != client)
        return ERROR_ACCESS_DENIED;
    return 0;
}

}  // namespace nkoserver
