#include "trace/trace_layer.h"

#include <windows.h>

#include <mutex>

#include "trace/trace_pipe.h"
#include "trace/trace_status.h"

namespace mrv::trace {

namespace {

// The trace lock guards the count and the registration flags of every layer.
std::mutex g_trace_lock;
long g_registrations = 0;

std::string host_executable_name()
{
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string full(path, n < MAX_PATH ? n : MAX_PATH);
    const std::size_t slash = full.find_last_of('\\');
    return slash == std::string::npos ? full : full.substr(slash + 1);
}

}  // namespace

trace_layer::trace_layer() : application_name_(host_executable_name()) {}

trace_layer::~trace_layer()
{
    Unregister();
}

void trace_layer::Register(const std::string& resource_name) noexcept
{
    if constexpr (!kTracingCompiledIn)
        return;
    std::lock_guard guard(g_trace_lock);
    if (registered_)
        return;
    try {
        address_ = resource_name;
    } catch (...) {
        address_.clear();
    }
    ++g_registrations;
    registered_ = true;
    shared_trace_status().start();
    enabled_ = true;
}

void trace_layer::Unregister() noexcept
{
    // The shared trace status stays open after the last registration ends (it closes when the
    // module unloads), so that the next session's Register does not open it again through the
    // kernel-object server.
    std::lock_guard guard(g_trace_lock);
    if (registered_)
        --g_registrations;
    registered_ = false;
}

long registered_trace_layers() noexcept
{
    std::lock_guard guard(g_trace_lock);
    return g_registrations;
}

std::unique_ptr<CTraceEncoder> trace_layer::create(record_kind kind, const char* interface_name,
                                                   const char* method_name, std::int64_t start_time)
{
    if (!registered_ || !enabled_)
        return nullptr;
    // The first record of the process makes the trace pipe; a failed try is repeated next time.
    process_trace_pipe();
    std::string name = interface_name;
    name += "::";
    name += method_name;
    return std::make_unique<MorvaneTraceMessage>(kind, name, address_, application_name_,
                                                 shared_trace_status().array_byte_limit(),
                                                 start_time);
}

std::unique_ptr<CTraceEncoder> trace_layer::CreateEnterMessage(const char* interface_name,
                                                               const char* method_name)
{
    return create(record_kind::enter, interface_name, method_name, 0);
}

std::unique_ptr<CTraceEncoder> trace_layer::CreateExitMessage(const char* interface_name,
                                                              const char* method_name,
                                                              std::int64_t start_time)
{
    return create(record_kind::exit, interface_name, method_name, start_time);
}

}  // namespace mrv::trace
