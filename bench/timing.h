#pragma once
// Timing of the same work done two ways. The machine is shared, so the two sides are measured
// in alternating rounds (both see the same load) and each keeps its best figure: the best batch
// average for short calls, the best single repetition for long transfers.
#include <windows.h>

#include <algorithm>
#include <limits>
#include <utility>

namespace bench {

inline double seconds_now()
{
    static const double ticks = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / ticks;
}

struct side_by_side {
    double server = std::numeric_limits<double>::max();  // seconds per call; < 0: a call failed
    double direct = std::numeric_limits<double>::max();
};

// Short calls: each round times a batch of `calls` calls of each side.
template <class Server, class Direct>
side_by_side compare_calls(int rounds, int calls, Server&& server, Direct&& direct)
{
    side_by_side r;
    const auto batch = [calls](auto& work, double& best) {
        const double start = seconds_now();
        for (int i = 0; i < calls; ++i)
            if (!work()) {
                best = -1;
                return;
            }
        if (best >= 0)
            best = std::min(best, (seconds_now() - start) / calls);
    };
    for (int i = 0; i < rounds; ++i) {
        batch(server, r.server);
        batch(direct, r.direct);
    }
    return r;
}

// Long transfers: `prepare` runs before each one, outside the measured time.
template <class Prepare, class Server, class Direct>
side_by_side compare_transfers(int repetitions, Prepare&& prepare, Server&& server, Direct&& direct)
{
    side_by_side r;
    const auto once = [&prepare](auto& work, double& best) {
        prepare();
        const double start = seconds_now();
        const bool ok = work();
        const double elapsed = seconds_now() - start;
        if (!ok)
            best = -1;
        else if (best >= 0)
            best = std::min(best, elapsed);
    };
    // Which side goes first alternates: the first transfer after the other side's pays for
    // memory that the library freed and takes back.
    for (int i = 0; i < repetitions; ++i) {
        if (i % 2 == 0) {
            once(server, r.server);
            once(direct, r.direct);
        } else {
            once(direct, r.direct);
            once(server, r.server);
        }
    }
    return r;
}

}  // namespace bench
