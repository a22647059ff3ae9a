#pragma once
// The soak's threads and how they are steered: each thread is a participant that beats after
// every step, so a watchdog sees one that stopped moving; the main thread parks them all (each
// lets go of its sessions and waits) to count the process at rest, resumes them, and stops them.
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace soak {

class participant {
public:
    explicit participant(std::string name) : name_(std::move(name)) { beat(); }
    const std::string& name() const { return name_; }
    // Marks progress; `doing` names the step about to run (null: the same step goes on).
    void beat(const char* doing = nullptr) noexcept
    {
        if (doing)
            doing_.store(doing, std::memory_order_relaxed);
        thread_.store(GetCurrentThreadId(), std::memory_order_relaxed);
        last_.store(GetTickCount64(), std::memory_order_relaxed);
    }
    // Marks progress after call `op` returned.
    void returned(const char* op) noexcept
    {
        returned_.store(op, std::memory_order_relaxed);
        beat();
    }
    ULONGLONG idle_ms() const { return GetTickCount64() - last_.load(); }
    const char* doing() const { return doing_.load(); }
    const char* last_returned() const { return returned_.load(); }
    DWORD thread() const { return thread_.load(); }
    bool parked() const { return parked_.load(); }
    void set_parked(bool parked) { parked_.store(parked); }

private:
    std::string name_;
    std::atomic<ULONGLONG> last_{0};
    std::atomic<const char*> doing_{""}, returned_{"nothing yet"};
    std::atomic<bool> parked_{false};
    std::atomic<DWORD> thread_{0};
};

class control {
public:
    enum class phase { run, park, stop };

    participant& join(std::string name)
    {
        std::lock_guard lock(m_);
        all_.push_back(std::make_unique<participant>(std::move(name)));
        return *all_.back();
    }
    bool stopping() const { return phase_.load() == phase::stop; }

    // Called by a participant between its steps. When parking is asked for it runs `let_go`,
    // then waits (running `wait_a_little`, which sleeps or pumps messages for a short while)
    // until it is resumed or stopped. False once the soak is stopping.
    template <class LetGo, class Wait>
    bool next_step(participant& self, LetGo&& let_go, Wait&& wait_a_little)
    {
        if (phase_.load() == phase::park) {
            let_go();
            self.set_parked(true);
            while (phase_.load() == phase::park)
                wait_a_little();
            self.set_parked(false);
            self.beat();
        }
        return phase_.load() != phase::stop;
    }

    // Asks every participant to park; true when all have within `ms`.
    bool park(ULONGLONG ms)
    {
        phase_.store(phase::park);
        const ULONGLONG end = GetTickCount64() + ms;
        while (GetTickCount64() < end) {
            if (all_parked())
                return true;
            Sleep(20);
        }
        return all_parked();
    }
    void resume() { phase_.store(phase::run); }
    void stop() { phase_.store(phase::stop); }

    // The first participant that has not moved for `ms` while not parked, or null.
    const participant* stalled(ULONGLONG ms) const
    {
        std::lock_guard lock(m_);
        for (const auto& p : all_)
            if (!p->parked() && p->idle_ms() > ms)
                return p.get();
        return nullptr;
    }

private:
    bool all_parked() const
    {
        std::lock_guard lock(m_);
        for (const auto& p : all_)
            if (!p->parked())
                return false;
        return true;
    }

    std::atomic<phase> phase_{phase::run};
    mutable std::mutex m_;  // guards the list; participants live as long as the control
    std::vector<std::unique_ptr<participant>> all_;
};

}  // namespace soak
