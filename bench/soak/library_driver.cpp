#include "soak/library_driver.h"

#include <windows.h>

#include <iterator>
#include <random>

namespace soak {

namespace {

constexpr DWORD kPeriodMs = 25;
constexpr ULONGLONG kLogClearMs = 1000;

// The calls the soak's operations make, Init's and Close's included. viClose is left alone: a
// close that does nothing leaves the library's session open for good, which would read as a leak.
constexpr const char* kFailable[] = {
    "viOpenDefaultRM", "viOpen",        "viRead",         "viWrite",          "viReadAsync",
    "viWriteAsync",    "viTerminate",   "viSetAttribute", "viGetAttribute",   "viLock",
    "viUnlock",        "viEnableEvent", "viDisableEvent", "viInstallHandler", "viUninstallHandler",
};

}  // namespace

library_driver::library_driver(control& ctl, outcomes& out, const library& visa,
                               std::vector<std::string> resources, unsigned seed)
    : ctl_(ctl), out_(out), visa_(visa), resources_(std::move(resources)), seed_(seed),
      self_(ctl.join("library driver")), thread_([this] { run(); })
{}

library_driver::~library_driver()
{
    thread_.join();
}

void library_driver::run()
{
    std::minstd_rand random(seed_);
    ULONGLONG log_cleared = GetTickCount64();
    bool injecting = false;
    while (ctl_.next_step(
        self_, [] {}, [] { Sleep(20); })) {
        self_.beat("raising service requests");
        for (const auto& resource : resources_)
            visa_.raise_on(resource.c_str(), VI_EVENT_SERVICE_REQ);
        if (out_.faults_running()) {
            const auto& statuses = injected_statuses();
            visa_.fail_next(kFailable[random() % std::size(kFailable)],
                            statuses[random() % statuses.size()]);
            injecting = true;
        } else if (injecting) {
            visa_.clear_faults();
            injecting = false;
        }
        if (GetTickCount64() - log_cleared > kLogClearMs) {
            visa_.clear_log();
            log_cleared = GetTickCount64();
        }
        Sleep(kPeriodMs);
    }
    visa_.clear_faults();
    self_.set_parked(true);
}

}  // namespace soak
