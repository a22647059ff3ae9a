#pragma once
// What the soak prints: rates, failures by kind and HRESULT, and the process's handles,
// committed private memory and threads.
#include <cstddef>
#include <cstdio>

#include "soak/outcomes.h"

namespace soak {

struct process_counts {
    std::size_t handles = 0, memory = 0, threads = 0;
    static process_counts now();
};

// One line: the rates since `before`, taken `seconds` ago, and the counts now.
void print_interval(double elapsed, double seconds, const outcomes::snapshot& before,
                    const outcomes::snapshot& now, const process_counts& counts);
// The totals: calls and events with their rates, every failure by kind and HRESULT, and the
// first wrong outcomes.
void print_totals(double seconds, const outcomes::snapshot& total);
void print_counts(const char* label, const process_counts& counts);

}  // namespace soak
