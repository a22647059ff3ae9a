#include "errors/visa_error.h"

#include <atomic>
#include <cstring>

#include "errors/resource_string.h"
#include "resources/string_ids.h"

namespace mrv {
namespace {

std::atomic<library_status_description> g_library_status_description{nullptr};

// A driver's description may itself fail with a visa_error, whose description would ask the
// driver again; below the outermost description the library is not asked.
thread_local int t_describe_depth = 0;

struct depth_guard {
    depth_guard() noexcept { ++t_describe_depth; }
    ~depth_guard() { --t_describe_depth; }
};

}  // namespace

void set_library_status_description(library_status_description entry) noexcept
{
    g_library_status_description.store(entry);
}

visa_error::visa_error(vi_status status, status_describer& driver) : std::runtime_error("")
{
    describe(status, driver.describer_session(), &driver);
}

visa_error::visa_error(vi_status status, vi_session session) : std::runtime_error("")
{
    describe(status, session, nullptr);
}

const char* visa_error::what() const noexcept
{
    return message_.c_str();
}

void visa_error::describe(vi_status status, vi_session session, status_describer* driver)
{
    message_ = resource_string(static_cast<UINT>(status) + IDS_VISA_STATUS_BASE,
                               IDS_UNRECOGNIZED_VISA_ERROR)
                   .text();
    status_ = status;
    if (status == -1) {
        // Something other than a VISA status escaped a VISA call: the VISA system error.
        status_ = static_cast<vi_status>(0xBFFF0000u);
        message_ = resource_string(IDS_INTERNAL_ERROR, IDS_UNRECOGNIZED_VISA_ERROR).text();
    } else if (status < 0 && t_describe_depth == 0) {
        depth_guard guard;
        char description[256] = {};
        if (driver) {
            driver->status_description(status, description);
            message_.assign(description, ::strnlen(description, sizeof description));
        } else if (auto entry = g_library_status_description.load()) {
            entry(session, status, description);
            message_.assign(description, ::strnlen(description, sizeof description));
        }
    }
}

HRESULT visa_error::hresult() const noexcept
{
    return map_status(status_).hresult;
}
vi_status visa_error::status() const noexcept
{
    return status_;
}
DWORD visa_error::help_context() const noexcept
{
    return map_status(status_).help_context;
}

HRESULT hresult_of_status(vi_status status) noexcept
{
    return map_status(status).hresult;
}

}  // namespace mrv
