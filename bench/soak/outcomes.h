#pragma once
// What the soak's calls may answer, and the tally of what they did answer.
//
// Every HRESULT is sorted into a kind. Each call names the kinds it may give besides success;
// a kind outside that set, an HRESULT of no known kind, a failure whose error object is missing
// or belongs to another failure, or a wrong value read back is a wrong outcome, which fails the
// soak. Failures of the simulation library's injected statuses are allowed only while the
// injection runs (and a short grace after it, for calls already under way).
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace soak {

enum class kind : unsigned {
    ok,             // S_OK or a VISA completion code
    timeout,        // the VISA time-out, or a wait that timed out
    locked,         // another session holds the port's lock
    not_locked,     // unlock of a session that holds no lock
    closed,         // the session is not open, or closed while a call waited
    handler_state,  // a handler already installed, or none to uninstall
    job_gone,       // the job ended before Terminate reached it
    injected,       // a status the fault injection gave a VISA call
    wrong,
    count
};
inline constexpr std::size_t kind_count = static_cast<std::size_t>(kind::count);

using kinds = unsigned;
constexpr kinds operator|(kind a, kind b)
{
    return (1u << static_cast<unsigned>(a)) | (1u << static_cast<unsigned>(b));
}
constexpr kinds operator|(kinds a, kind b)
{
    return a | (1u << static_cast<unsigned>(b));
}
constexpr kinds only(kind a)
{
    return 1u << static_cast<unsigned>(a);
}
constexpr bool has(kinds set, kind k)
{
    return (set >> static_cast<unsigned>(k)) & 1u;
}

const char* name_of(kind k);

// The statuses the fault injection hands out.
const std::vector<std::int32_t>& injected_statuses();

class outcomes {
public:
    // Injected failures are allowed from now until stop_faults() plus the grace.
    void start_faults() { faults_until_.store(~0ull); }
    void stop_faults(ULONGLONG grace_ms) { faults_until_.store(GetTickCount64() + grace_ms); }
    bool faults_allowed() const { return GetTickCount64() < faults_until_.load(); }
    bool faults_running() const { return faults_until_.load() == ~0ull; }

    // Sorts `hr` of call `op`, counts it and returns its kind (wrong when not allowed).
    // error_object: the call posts an error object with each failure (the session's methods).
    kind check(HRESULT hr, kinds allowed, const char* op, bool error_object = true);
    // A wrong value or behaviour that is not an HRESULT.
    void wrong(const std::string& what);
    // A delivered event (a wait that returned one, a handler call).
    void event() { events_.fetch_add(1, std::memory_order_relaxed); }

    struct snapshot {
        std::uint64_t calls = 0, events = 0, wrong = 0;
        std::array<std::uint64_t, kind_count> by_kind{};
        std::map<HRESULT, std::uint64_t> failures;  // by HRESULT
        std::vector<std::string> first_wrong;       // the first few wrong outcomes, as text
    };
    snapshot take() const;

private:
    std::atomic<std::uint64_t> calls_{0}, events_{0};
    std::atomic<ULONGLONG> faults_until_{0};
    mutable std::mutex m_;  // guards what follows, held only to count
    std::array<std::uint64_t, kind_count> by_kind_{};
    std::map<HRESULT, std::uint64_t> failures_;
    std::uint64_t wrong_ = 0;
    std::vector<std::string> first_wrong_;
};

std::string hex(std::uint32_t value);

}  // namespace soak
