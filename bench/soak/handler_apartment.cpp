#include "soak/handler_apartment.h"

#include <random>
#include <string>

#include "soak/counting_handler.h"

namespace soak {

namespace {

constexpr ULONGLONG kReleaseWaitMs = 5000;
// Sessions an apartment may open over the run (see the header: each costs Wine an endpoint).
constexpr int kSessionsPerApartment = 6;

}  // namespace

handler_apartment::handler_apartment(control& ctl, outcomes& out, std::wstring resource,
                                     long user_handle, unsigned seed, std::atomic<unsigned>& opened)
    : ctl_(ctl), out_(out), resource_(std::move(resource)), user_handle_(user_handle), seed_(seed),
      opened_(opened), self_(ctl.join("handler apartment " + std::to_string(user_handle))),
      thread_([this] { serve(); })
{}

handler_apartment::~handler_apartment()
{
    thread_.join();
}

void handler_apartment::pump(DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

void handler_apartment::serve()
{
    com_apartment apartment(COINIT_APARTMENTTHREADED);
    auto handler = counting_handler::make(out_, EVENT_SERVICE_REQ, user_handle_, false);
    std::minstd_rand random(seed_);
    // Under Wine a revocation from the global interface table now and then fails (the table
    // reports the marshaled handler disconnected); the server then answers UninstallHandler
    // with "no handler" and keeps the record, so InstallHandler answers "already installed"
    // until the session closes. The apartment then opens a new session.
    const auto check = [this](HRESULT hr, kinds allowed, const char* op) {
        self_.returned(op);
        return out_.check(hr, allowed, op);
    };
    int sessions = 0;
    com_ptr<IEventManager> events;
    const auto reopen = [&] {
        if (events)
            check(events->Close(), 0, "Close");
        events.reset();
        if (sessions < kSessionsPerApartment) {
            ++sessions;
            ++opened_;
            events = open_session(out_, resource_, &self_).as<IEventManager>(IID_IEventManager);
        }
    };

    // Between steps no handler is installed, so the counts at rest do not depend on the moment.
    while (ctl_.next_step(
        self_, [] {}, [] { pump(20); })) {
        if (!events) {  // not opened yet, or an injected failure refused the last opening
            self_.beat("opening its session");
            reopen();
            pump(20);
            continue;
        }
        self_.beat("InstallHandler");
        const kind installed =
            check(events->InstallHandler(EVENT_SERVICE_REQ, handler.get(), user_handle_, 0),
                  only(kind::handler_state), "InstallHandler");
        if (installed == kind::handler_state) {
            self_.beat("reopening its session");
            reopen();
            continue;
        }
        if (installed != kind::ok) {
            pump(20);
            continue;
        }
        self_.beat("EnableEvent(handler)");
        check(events->EnableEvent(EVENT_SERVICE_REQ, EVENT_HNDLR, 0), 0, "EnableEvent(handler)");
        self_.beat("serving handler calls");
        pump(100 + random() % 200);
        // The handler mechanism off first: no event is on its way to the handler when it is
        // revoked.
        self_.beat("EnableEvent(queue)");
        check(events->EnableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0), 0, "EnableEvent(queue)");
        pump(50);
        self_.beat("UninstallHandler");
        check(events->UninstallHandler(EVENT_SERVICE_REQ, user_handle_, 0),
              only(kind::handler_state), "UninstallHandler");
        self_.beat("pump");
        pump(20);
    }

    self_.beat("closing its session");
    if (events)
        check(events->Close(), 0, "Close");
    events.reset();
    // The server's proxies release the handler through this apartment: serve them first.
    const ULONGLONG end = GetTickCount64() + kReleaseWaitMs;
    while (!handler->released_by_others() && GetTickCount64() < end)
        pump(20);
    self_.set_parked(true);
}

}  // namespace soak
