#pragma once
// The per-session trace layer: registered when the session opens (Init) and unregistered when
// it is finally released, it hands out the enter and exit records of the session's calls. The
// first registration of the process opens the shared trace status, which then stays open until
// the module unloads.
#include <cstdint>
#include <memory>
#include <string>

#include "trace/trace_message.h"

namespace mrv::trace {

// Tracing is part of every shipped build. A copy of the server built with MRV_TRACING_COMPILED_OUT
// (for the benchmark only) never registers its sessions and opens no trace scope, so the cost of
// the trace layer can be measured against the same code without it.
#ifdef MRV_TRACING_COMPILED_OUT
inline constexpr bool kTracingCompiledIn = false;
#else
inline constexpr bool kTracingCompiledIn = true;
#endif

class CTraceEngine {
public:
    virtual ~CTraceEngine() = default;
    // A new enter record, or null when the layer does not trace.
    virtual std::unique_ptr<CTraceEncoder> CreateEnterMessage(const char* interface_name,
                                                              const char* method_name) = 0;
    // A new exit record carrying the enter record's start time, or null.
    virtual std::unique_ptr<CTraceEncoder> CreateExitMessage(const char* interface_name,
                                                             const char* method_name,
                                                             std::int64_t start_time) = 0;
};

class trace_layer : public CTraceEngine {
public:
    // The application name is the host executable's file name.
    trace_layer();
    ~trace_layer() override;
    trace_layer(const trace_layer&) = delete;
    trace_layer& operator=(const trace_layer&) = delete;

    // Under the trace lock: counts the registration, keeps the resource name as the address,
    // opens the shared trace status, enables records. A second Register changes nothing.
    void Register(const std::string& resource_name) noexcept;
    // Under the trace lock: uncounts a registration (the shared trace status stays open).
    void Unregister() noexcept;

    bool enabled() const noexcept { return enabled_; }
    bool registered() const noexcept { return registered_; }

    std::unique_ptr<CTraceEncoder> CreateEnterMessage(const char* interface_name,
                                                      const char* method_name) override;
    std::unique_ptr<CTraceEncoder> CreateExitMessage(const char* interface_name,
                                                     const char* method_name,
                                                     std::int64_t start_time) override;

private:
    std::unique_ptr<CTraceEncoder> create(record_kind kind, const char* interface_name,
                                          const char* method_name, std::int64_t start_time);

    bool enabled_ = false;
    bool registered_ = false;
    std::string address_;
    std::string application_name_;
};

// The trace layer of a session class T (one per session object).
template <class T>
class MorvaneTraceLayer final : public trace_layer {};

// Sessions registered in this process now.
long registered_trace_layers() noexcept;

}  // namespace mrv::trace
