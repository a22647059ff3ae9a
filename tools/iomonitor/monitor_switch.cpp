#include "monitor_switch.h"

#include "trace/trace_status.h"

namespace iomonitor {

using mrv::trace::shared_trace_status;

std::int32_t switch_tracing_on_for_monitor(std::optional<long> array_byte_limit)
{
    auto& status = shared_trace_status();
    if (array_byte_limit)
        status.set_array_byte_limit(static_cast<std::int32_t>(*array_byte_limit));
    status.set_flag(mrv::trace::status_monitor_at, 1);
    status.set_flag(mrv::trace::status_records_wanted_at, 1);
    status.set_tracing(true);
    return status.generation();
}

void switch_tracing_off_for_monitor()
{
    auto& status = shared_trace_status();
    status.set_tracing(false);
    status.set_flag(mrv::trace::status_records_wanted_at, 0);
    status.set_flag(mrv::trace::status_monitor_at, 0);
}

}  // namespace iomonitor
