#include "driver/status_description_hook.h"

#include "driver/entry_points.h"
#include "driver/visa_driver.h"

namespace mrv {
namespace {

vi_status describe_through_library(vi_session session, vi_status status, char* description)
{
    return visa::process_viStatusDesc(session, status, description);
}

}  // namespace

vi_session driver_describer::describer_session() const noexcept
{
    return driver_.session();
}

void driver_describer::status_description(vi_status status, char* description)
{
    driver_.status_description(status, description);
}

void install_library_status_description() noexcept
{
    set_library_status_description(&describe_through_library);
}

}  // namespace mrv
