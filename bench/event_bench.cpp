// event_bench.exe: what waiting for events costs through the serial session server, in one run.
//
//   - processor time of a thread whose WaitOnEvent waits 2 s for an event that never comes, next
//     to a wait that polls (WaitOnEvent with time-out 0 in a loop);
//   - the hand-over latency from the library's callback to WaitOnEvent returning (an event that
//     finds the wait asleep, and one that comes while it still watches), and to the
//     entry of a handler living in another single-threaded apartment, median and 99th
//     percentile over 1,000 events each, next to the same hand-over to a polling wait and to an
//     apartment that polls its message queue;
//   - events per second delivered to a handler.
//
// The simulation library delivers synchronously, so the callback runs inside the raise: the time
// taken just before the raise is the time the callback starts.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "com/com_ptr.h"
#include "simvisa_control.h"
#include "timing.h"
#include "visacom.h"

using mrv::com_ptr;

namespace {

constexpr int kEvents = 1000;
constexpr int kThroughputEvents = 1000;
constexpr double kCpuTarget = 2.0;  // percent of one core while waiting
constexpr long kSre = EVENT_SERVICE_REQ;

struct com_apartment {
    explicit com_apartment(DWORD model = COINIT_MULTITHREADED) { CoInitializeEx(nullptr, model); }
    ~com_apartment() { CoUninitialize(); }
};

struct simvisa {
    HMODULE m = nullptr;
    template <class F>
    F get(const char* name) const
    {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
    }
};

double thread_cpu_seconds()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME f) {
        return static_cast<double>((static_cast<ULONGLONG>(f.dwHighDateTime) << 32) |
                                   f.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

struct percentiles {
    double median, p99;
};

percentiles of(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 99 / 100]};
}

// A handler that notes when it is entered.
class timing_handler final : public IEventHandler {
public:
    std::atomic<double> entered{0};
    std::atomic<long> calls{0};
    HANDLE called = CreateEventW(nullptr, FALSE, FALSE, nullptr);

    com_ptr<IUnknown> marshaler;  // set: free-threaded, called directly from any apartment

    ~timing_handler() { CloseHandle(called); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IMarshal) && marshaler)
            return marshaler->QueryInterface(iid, out);
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEventHandler))
            return E_NOINTERFACE;
        *out = static_cast<IEventHandler*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on its thread's stack
    // Until the server's proxies are gone, its apartment must go on serving their releases.
    void wait_for_proxies_released() const
    {
        for (int i = 0; i < 5000 && refs_ > 2; ++i)  // this reference and the table's
            Sleep(1);
    }
    HRESULT STDMETHODCALLTYPE HandleEvent(IEventManager*, IEvent*, long) override
    {
        entered = bench::seconds_now();
        ++calls;
        SetEvent(called);
        return S_OK;
    }

private:
    std::atomic<ULONG> refs_{1};
};

// A single-threaded apartment that installs `handler` for service requests and serves the calls
// into it, waiting for messages or polling its message queue, until it is destroyed.
class handler_apartment {
public:
    handler_apartment(IEventManager* events, timing_handler& handler, bool polling)
        : events_(events), handler_(handler), owner_([this, polling] { serve(polling); })
    {
        WaitForSingleObject(installed_, 5000);
        events_->EnableEvent(EVENT_SERVICE_REQ, EVENT_HNDLR, 0);
    }
    ~handler_apartment()
    {
        events_->EnableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0);
        handler_.wait_for_proxies_released();
        finished_ = true;
        owner_.join();
        CloseHandle(installed_);
    }

private:
    void serve(bool polling)
    {
        com_apartment apartment(COINIT_APARTMENTTHREADED);
        events_->InstallHandler(EVENT_SERVICE_REQ, &handler_, 0, 0);
        SetEvent(installed_);
        MSG msg;
        while (!finished_) {
            if (!polling)
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
        }
        events_->UninstallHandler(EVENT_SERVICE_REQ, 0, 0);
    }

    IEventManager* events_;
    timing_handler& handler_;
    HANDLE installed_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> finished_{false};
    std::thread owner_;
};

class bench_run {
public:
    bool open()
    {
        CLSID clsid{};
        if (FAILED(CLSIDFromProgID(L"MorvaneRS232.RS232Svr", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVisaSession,
                                    session_.put_void())))
            return false;
        BSTR name = SysAllocString(L"ASRL1::INSTR");
        BSTR options = SysAllocString(L"");
        const HRESULT hr = session_->Init(name, NO_LOCK, 2000, options);
        SysFreeString(name);
        SysFreeString(options);
        events_ = session_.as<IEventManager>(IID_IEventManager);
        visa_.m = GetModuleHandleW(L"visa32.dll");  // loaded by the server's Init
        if (FAILED(hr) || !events_ || !visa_.m)
            return false;
        if (FAILED(events_->EnableEvent(EVENT_SERVICE_REQ, EVENT_QUEUE, 0)))
            return false;
        ViSession found[16] = {};
        const ViUInt32 n =
            visa_.get<simvisa_find_sessions_fn>("simvisa_find_sessions")("ASRL1::INSTR", found, 16);
        if (n == 0 || n > 16)
            return false;
        vi_ = found[n - 1];
        raise_ = visa_.get<simvisa_raise_event_fn>("simvisa_raise_event");
        visa_.get<simvisa_deliver_synchronously_fn>("simvisa_deliver_synchronously")(VI_TRUE);
        return true;
    }

    double raise()
    {
        const double now = bench::seconds_now();
        raise_(vi_, static_cast<ViEventType>(kSre), nullptr, 0);
        return now;
    }

    // Percent of one core that a thread spends in 2 s of waiting for an event that does not come.
    double waiting_cpu(bool polling)
    {
        double percent = 0;
        std::thread t([&] {
            com_apartment apartment;
            const double cpu = thread_cpu_seconds(), start = bench::seconds_now();
            com_ptr<IEvent> e;
            if (polling) {
                while (bench::seconds_now() - start < 2.0)
                    events_->WaitOnEvent(0, EVENT_SERVICE_REQ, 0, e.put());
            } else {
                events_->WaitOnEvent(2000, EVENT_SERVICE_REQ, 0, e.put());
            }
            percent = 100 * (thread_cpu_seconds() - cpu) / (bench::seconds_now() - start);
        });
        t.join();
        return percent;
    }

    // From the raise to WaitOnEvent returning the event, in microseconds. The event comes about
    // `gap_ms` after the wait began: a wait sleeps once it has watched for half a millisecond.
    std::vector<double> wait_latencies(bool polling, double gap_ms)
    {
        std::vector<double> samples;
        HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        std::atomic<double> returned{0};
        HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        std::thread waiter([&] {
            com_apartment apartment;
            for (int i = 0; i < kEvents; ++i) {
                SetEvent(ready);
                com_ptr<IEvent> e;
                if (polling) {
                    while (events_->WaitOnEvent(0, EVENT_SERVICE_REQ, 0, e.put()) != S_OK) {
                    }
                } else {
                    events_->WaitOnEvent(5000, EVENT_SERVICE_REQ, 0, e.put());
                }
                returned = bench::seconds_now();
                SetEvent(done);
            }
        });
        for (int i = 0; i < kEvents; ++i) {
            WaitForSingleObject(ready, 5000);
            // The wait is registered (or polling), and asleep after a gap of a millisecond.
            if (gap_ms >= 1) {
                Sleep(static_cast<DWORD>(gap_ms));
            } else {
                for (const double start = bench::seconds_now();
                     bench::seconds_now() - start < gap_ms / 1000;) {
                }
            }
            const double raised = raise();
            WaitForSingleObject(done, 5000);
            samples.push_back((returned - raised) * 1e6);
        }
        waiter.join();
        CloseHandle(ready);
        CloseHandle(done);
        return samples;
    }

    // From the raise to the entry of a handler in another single-threaded apartment, which
    // waits for messages (or polls its message queue), in microseconds.
    std::vector<double> handler_latencies(bool polling)
    {
        std::vector<double> samples;
        timing_handler handler;
        handler_apartment apartment(events_.get(), handler, polling);
        for (int i = 0; i < kEvents; ++i) {
            const double raised = raise();
            WaitForSingleObject(handler.called, 5000);
            samples.push_back((handler.entered - raised) * 1e6);
            Sleep(0);
        }
        return samples;
    }

    // Events per second that reach a handler, raised as fast as possible: a handler in another
    // apartment (each call marshaled into it), or a free-threaded one, called directly.
    double handler_throughput(bool free_threaded)
    {
        timing_handler handler;
        if (free_threaded)
            CoCreateFreeThreadedMarshaler(&handler, handler.marshaler.put());
        handler_apartment apartment(events_.get(), handler, false);
        const int count = free_threaded ? kThroughputEvents * 10 : kThroughputEvents;
        const double start = bench::seconds_now();
        for (int i = 0; i < count; ++i)
            raise();
        while (handler.calls < count && bench::seconds_now() - start < 60)
            Sleep(1);
        return handler.calls / (bench::seconds_now() - start);
    }

    void close() { session_->Close(); }

private:
    com_ptr<IVisaSession> session_;
    com_ptr<IEventManager> events_;
    simvisa visa_;
    simvisa_raise_event_fn raise_ = nullptr;
    ViSession vi_ = 0;
};

void report_latency(const char* what, percentiles ours, percentiles polling)
{
    std::printf(
        "%-40s median %8.1f us  p99 %8.1f us | polling: median %8.1f us  p99 %8.1f us  %s\n", what,
        ours.median, ours.p99, polling.median, polling.p99,
        ours.median <= polling.median * 1.1 ? "ok" : "SLOWER");
}

}  // namespace

int main()
{
    com_apartment apartment;
    bench_run run;
    if (!run.open()) {
        std::printf("event_bench: the session or the simulation library is not available\n");
        return 1;
    }
    const double waiting = run.waiting_cpu(false);
    const double polling = run.waiting_cpu(true);
    std::printf("%-40s %6.2f %% of one core (goal <= %.0f %%) | polling: %6.2f %%  %s\n",
                "CPU of a 2 s wait with no event", waiting, kCpuTarget, polling,
                waiting <= kCpuTarget ? "ok" : "OVER");
    report_latency("callback -> WaitOnEvent returns", of(run.wait_latencies(false, 1)),
                   of(run.wait_latencies(true, 1)));
    report_latency("  the event 0.2 ms into the wait", of(run.wait_latencies(false, 0.2)),
                   of(run.wait_latencies(true, 0.2)));
    report_latency("callback -> handler in another STA", of(run.handler_latencies(false)),
                   of(run.handler_latencies(true)));
    std::printf("%-40s %8.0f events/s\n", "events to a handler in another STA",
                run.handler_throughput(false));
    std::printf("%-40s %8.0f events/s\n", "events to a free-threaded handler",
                run.handler_throughput(true));
    run.close();
    return 0;
}
