#include "servers/rs232/object_map.h"

#include "resources/module_resources.h"
#include "servers/rs232/rs232_module.h"
#include "servers/rs232/rs232_svr.h"

namespace mrv::rs232 {
namespace {

HRESULT update_rs232svr_registry(registry_action action) noexcept
{
    return run_module_registry_script(IDR_RS232SVR, action);
}

// The scripts IDR_TESTUTIL and IDR_SIMULATE_RS232SVR describe classes this DLL does not serve;
// they have no entry and are never run.
object_map_entry g_entries[] = {
    {&CLSID_RS232Svr, &update_rs232svr_registry, &cached_class_factory::create,
     &CComObject<CRS232Svr>::CreateInstance},
};

}  // namespace

std::span<object_map_entry> object_map() noexcept
{
    return g_entries;
}

}  // namespace mrv::rs232
