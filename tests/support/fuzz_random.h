#pragma once
// Seeded generators for the hostile-input tests. A run takes its seed from the environment
// variable MRV_FUZZ_SEED when it is set, else from the clock, and prints it; each case draws from
// a generator made from that seed and the case's number, so a failure reported as "seed S case N"
// is replayed with MRV_FUZZ_SEED=S, and MRV_FUZZ_CASE=N runs that case alone.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline std::uint64_t run_seed()
{
    static const std::uint64_t seed = [] {
        char text[32] = {};
        std::uint64_t s = 0;
        if (GetEnvironmentVariableA("MRV_FUZZ_SEED", text, sizeof text) - 1 < sizeof text - 1)
            s = std::strtoull(text, nullptr, 0);
        else {
            LARGE_INTEGER now{};
            QueryPerformanceCounter(&now);
            s = static_cast<std::uint64_t>(now.QuadPart) ^
                (std::uint64_t{GetCurrentProcessId()} << 32);
        }
        std::printf("fuzz seed %llu (replay with MRV_FUZZ_SEED=%llu)\n",
                    static_cast<unsigned long long>(s), static_cast<unsigned long long>(s));
        std::fflush(stdout);
        return s;
    }();
    return seed;
}

// The one case to run when MRV_FUZZ_CASE is set, else -1.
inline long long only_case()
{
    char text[32] = {};
    if (GetEnvironmentVariableA("MRV_FUZZ_CASE", text, sizeof text) - 1 < sizeof text - 1)
        return std::strtoll(text, nullptr, 0);
    return -1;
}

// Whether case `n` of a run runs (all of them, or only the one MRV_FUZZ_CASE names).
inline bool selected(long long n)
{
    static const long long only = only_case();
    return only < 0 || only == n;
}

// "seed S case N", for failure messages.
inline std::string label(long long n)
{
    return "seed " + std::to_string(run_seed()) + " case " + std::to_string(n);
}

// splitmix64: small, fast, and good enough to pick test cases.
class random {
public:
    explicit random(long long case_number)
        : state_(run_seed() ^ (static_cast<std::uint64_t>(case_number) * 0xD1B54A32D192ED03ull))
    {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 to n - 1 (0 for n == 0).
    std::size_t below(std::size_t n) { return n ? static_cast<std::size_t>(next() % n) : 0; }
    // lo to hi, both included.
    long long between(long long lo, long long hi)
    {
        return lo + static_cast<long long>(below(static_cast<std::size_t>(hi - lo) + 1));
    }
    // True with probability 1/n.
    bool one_in(std::size_t n) { return below(n) == 0; }
    template <typename T, std::size_t N>
    const T& pick(const T (&items)[N])
    {
        return items[below(N)];
    }
    // A length that is usually small and sometimes large: 0 to `most`.
    std::size_t length(std::size_t most)
    {
        switch (below(4)) {
        case 0:
            return below(8 < most ? 8 : most + 1);
        case 1:
            return below(64 < most ? 64 : most + 1);
        case 2:
            return below(1024 < most ? 1024 : most + 1);
        default:
            return below(most + 1);
        }
    }

private:
    std::uint64_t state_;
};

}  // namespace fuzz
