#include "soak/report.h"

#include <string>

#include "process_counts.h"

namespace soak {

namespace {

double mib(std::size_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

std::string failures_by_kind(const outcomes::snapshot& s)
{
    std::string text;
    for (std::size_t k = 1; k < kind_count; ++k) {
        if (!s.by_kind[k])
            continue;
        text += (text.empty() ? "" : ", ") + std::string(name_of(static_cast<kind>(k))) + " " +
                std::to_string(s.by_kind[k]);
    }
    return text.empty() ? "none" : text;
}

}  // namespace

process_counts process_counts::now()
{
    return {mrv::test::process_handles(), mrv::test::private_bytes(), mrv::test::process_threads()};
}

void print_counts(const char* label, const process_counts& c)
{
    std::printf("%s: handles %zu, committed private memory %.1f MiB, threads %zu\n", label,
                c.handles, mib(c.memory), c.threads);
}

void print_interval(double elapsed, double seconds, const outcomes::snapshot& before,
                    const outcomes::snapshot& now, const process_counts& c)
{
    std::printf("[%6.0f s] %.0f calls/s, %.0f events/s; failures: %s; wrong %llu; handles %zu, "
                "memory %.1f MiB, threads %zu\n",
                elapsed, static_cast<double>(now.calls - before.calls) / seconds,
                static_cast<double>(now.events - before.events) / seconds,
                failures_by_kind(now).c_str(), static_cast<unsigned long long>(now.wrong),
                c.handles, mib(c.memory), c.threads);
    std::fflush(stdout);
}

void print_totals(double seconds, const outcomes::snapshot& s)
{
    std::printf("calls %llu (%.0f/s), events %llu (%.0f/s) in %.0f s\n",
                static_cast<unsigned long long>(s.calls), static_cast<double>(s.calls) / seconds,
                static_cast<unsigned long long>(s.events), static_cast<double>(s.events) / seconds,
                seconds);
    std::printf("failures by kind: %s\n", failures_by_kind(s).c_str());
    for (const auto& [hr, count] : s.failures)
        std::printf("  %s: %llu\n", hex(static_cast<std::uint32_t>(hr)).c_str(),
                    static_cast<unsigned long long>(count));
    std::printf("wrong outcomes: %llu\n", static_cast<unsigned long long>(s.wrong));
    for (const auto& what : s.first_wrong)
        std::printf("  WRONG: %s\n", what.c_str());
    std::fflush(stdout);
}

}  // namespace soak
