#include "comm_line.h"

#include <windows.h>

#include <string>
#include <vector>

#include "control.h"
#include "line_events.h"
#include "module.h"
#include "port.h"

namespace simvisa {
namespace {

// A kernel handle closed with its owner.
class owned_handle {
public:
    explicit owned_handle(HANDLE h = nullptr) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    owned_handle(const owned_handle&) = delete;
    owned_handle& operator=(const owned_handle&) = delete;
    ~owned_handle()
    {
        if (h_)
            CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    void reset(HANDLE h)
    {
        if (h_)
            CloseHandle(h_);
        h_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
    }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HANDLE h_;
};

HANDLE new_event()
{
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

// The quiet time on the line that ends one of the watcher's reads.
constexpr DWORD read_gap_ms = 5;

}  // namespace

struct comm_line::watch {
    owned_handle handle;
    owned_handle stop{new_event()};
    owned_handle done{new_event()};
    std::weak_ptr<port> port;
    std::string name;
    std::optional<unsigned char> service_request_byte;
};

namespace {

using watch = comm_line::watch;

std::vector<std::weak_ptr<instr_session>> sessions_of(port& p)
{
    std::lock_guard lock(p.m);
    return p.sessions;
}

// Bytes the port received, into the port's receive buffer; each service request byte among
// them is a request, not data. False when the port is gone.
bool received(watch& w, const unsigned char* data, DWORD n)
{
    auto p = w.port.lock();
    if (!p)
        return false;
    std::string bytes(reinterpret_cast<const char*>(data), n);
    const size_t requests =
        w.service_request_byte ? std::erase(bytes, static_cast<char>(*w.service_request_byte)) : 0;
    if (!bytes.empty()) {
        std::lock_guard lock(p->m);
        p->arrive(bytes, clock::now());
    }
    // Raised once the bytes around them are in the buffer, from the timer thread (see
    // line_changed).
    for (size_t i = 0; i < requests; ++i)
        raise_from_timer(sessions_of(*p), VI_EVENT_SERVICE_REQ);
    return true;
}

void lost(watch& w)
{
    report_message(w.name + ": the line is lost (error " + std::to_string(GetLastError()) + ")");
    if (auto p = w.port.lock()) {
        std::lock_guard lock(p->m);
        p->line_lost = true;
        p->cv.notify_all();
    }
}

// The events WaitCommEvent reported, raised from the timer thread: this thread never runs
// handlers, so a handler that closes the port never waits for the thread it runs on.
void line_changed(watch& w, DWORD mask)
{
    auto p = w.port.lock();
    if (!p)
        return;
    const auto sessions = sessions_of(*p);
    const std::pair<DWORD, ViEventType> kinds[] = {{EV_BREAK, VI_EVENT_ASRL_BREAK},
                                                   {EV_CTS, VI_EVENT_ASRL_CTS},
                                                   {EV_DSR, VI_EVENT_ASRL_DSR},
                                                   {EV_RLSD, VI_EVENT_ASRL_DCD},
                                                   {EV_RING, VI_EVENT_ASRL_RI}};
    for (const auto& [bit, type] : kinds)
        if (mask & bit)
            raise_from_timer(sessions, type);
}

// The bytes of a finished read. A read that ended on its interval time-out may report
// ERROR_TIMEOUT with its bytes (seen under Wine): that is a read like any other.
bool read_result(HANDLE h, OVERLAPPED& ov, DWORD& n)
{
    n = 0;
    return GetOverlappedResult(h, &ov, &n, FALSE) || GetLastError() == ERROR_TIMEOUT;
}

void watch_line(std::shared_ptr<watch> w)
{
    const HANDLE h = w->handle.get();
    owned_handle read_done(new_event()), event_done(new_event());
    OVERLAPPED rd{}, ev{};
    rd.hEvent = read_done.get();
    ev.hEvent = event_done.get();
    // A port (or a pseudo-terminal behind it) that cannot report line events still carries data.
    bool events =
        ev.hEvent && SetCommMask(h, EV_BREAK | EV_CTS | EV_DSR | EV_RLSD | EV_RING) != FALSE;
    bool reading = false, waiting = false;
    DWORD mask = 0;
    unsigned char buf[4096];
    for (;;) {
        if (!reading) {
            DWORD n = 0;
            ResetEvent(rd.hEvent);
            if (ReadFile(h, buf, sizeof buf, &n, &rd)) {
                if (!received(*w, buf, n))
                    break;
                // Not expected with these time-outs, but never a busy loop.
                if (n == 0 && WaitForSingleObject(w->stop.get(), 10) == WAIT_OBJECT_0)
                    break;
                continue;
            }
            if (GetLastError() == ERROR_TIMEOUT && read_result(h, rd, n)) {
                if (!received(*w, buf, n))
                    break;
                continue;
            }
            if (GetLastError() != ERROR_IO_PENDING) {
                lost(*w);
                break;
            }
            reading = true;
        }
        if (events && !waiting) {
            ResetEvent(ev.hEvent);
            if (WaitCommEvent(h, &mask, &ev)) {
                if (mask)
                    line_changed(*w, mask);
                else
                    events = false;
                continue;
            }
            if (GetLastError() == ERROR_IO_PENDING)
                waiting = true;
            else
                events = false;
        }
        const HANDLE signals[] = {w->stop.get(), rd.hEvent, ev.hEvent};
        const DWORD r = WaitForMultipleObjects(waiting ? 3 : 2, signals, FALSE, INFINITE);
        DWORD n = 0;
        if (r == WAIT_OBJECT_0 + 1) {
            reading = false;
            if (!read_result(h, rd, n)) {
                lost(*w);
                break;
            }
            if (!received(*w, buf, n))
                break;
        } else if (r == WAIT_OBJECT_0 + 2) {
            waiting = false;
            // A port that wakes the wait with nothing to report (a pseudo-terminal under some
            // platforms) cannot watch its line: stop asking rather than spin.
            if (GetOverlappedResult(h, &ev, &n, FALSE) && mask)
                line_changed(*w, mask);
            else
                events = false;
        } else {
            break;  // stopped, or the wait failed
        }
    }
    if (reading || waiting) {
        CancelIo(h);
        DWORD n = 0;
        if (reading)
            GetOverlappedResult(h, &rd, &n, TRUE);
        if (waiting)
            GetOverlappedResult(h, &ev, &n, TRUE);
    }
    SetEvent(w->done.get());
}

// Waits for an overlapped operation up to timeout_ms; cancels it when the time is up.
ViStatus finish(HANDLE h, OVERLAPPED& ov, BOOL started, ViUInt32 timeout_ms)
{
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return VI_ERROR_IO;
    DWORD n = 0;
    if (WaitForSingleObject(ov.hEvent, timeout_ms) != WAIT_OBJECT_0) {
        CancelIo(h);
        GetOverlappedResult(h, &ov, &n, TRUE);
        return VI_ERROR_TMO;
    }
    return GetOverlappedResult(h, &ov, &n, FALSE) ? VI_SUCCESS : VI_ERROR_IO;
}

BYTE stop_bits(int64_t visa)
{
    switch (visa) {
    case VI_ASRL_STOP_ONE5:
        return ONE5STOPBITS;
    case VI_ASRL_STOP_TWO:
        return TWOSTOPBITS;
    default:
        return ONESTOPBIT;
    }
}

int64_t value_or(const port& p, ViAttr attr, int64_t fallback)
{
    auto it = p.values.find(attr);
    return it == p.values.end() ? fallback : it->second;
}

}  // namespace

bool comm_port_named(const std::string& name)
{
    char target[512];
    return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
}

comm_line::~comm_line()
{
    if (watch_)
        SetEvent(watch_->stop.get());
}

ViStatus comm_line::connect(port& p)
{
    if (watch_)
        return VI_SUCCESS;
    auto w = std::make_shared<watch>();
    const std::string path = "\\\\.\\" + name_;
    w->handle.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!w->handle) {
        const DWORD e = GetLastError();
        return e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION ? VI_ERROR_RSRC_BUSY
                                                                        : VI_ERROR_RSRC_NFOUND;
    }
    if (!w->stop || !w->done)
        return VI_ERROR_SYSTEM_ERROR;
    const HANDLE h = w->handle.get();
    SetupComm(h, in_size_, out_size_);
    // A read waits for a first byte, then ends when the line has been quiet for
    // read_gap_ms or the buffer is full (the watcher's own read, which a stop cancels). Writes
    // are bounded by the caller's time-out.
    COMMTIMEOUTS t{read_gap_ms, 0, 0, 0, 0};
    SetCommTimeouts(h, &t);
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    w->port = p.shared_from_this();
    w->name = name_;
    w->service_request_byte = service_request_byte_;
    watch_ = w;
    break_applied_ = false;
    if (ViStatus st = apply(p); st < 0) {
        watch_.reset();
        return st;
    }
    if (!start_library_thread([w] { watch_line(w); })) {
        watch_.reset();
        return VI_ERROR_SYSTEM_ERROR;
    }
    return VI_SUCCESS;
}

void comm_line::disconnect(port& p)
{
    std::shared_ptr<watch> w;
    {
        std::lock_guard lock(p.m);
        if (!p.sessions.empty())
            return;  // another session opened the port meanwhile
        w.swap(watch_);
    }
    if (!w)
        return;
    // The watcher takes the port lock to deliver bytes: wait for it with the lock released.
    SetEvent(w->stop.get());
    WaitForSingleObject(w->done.get(), 5000);
}

ViStatus comm_line::transmit(port&, std::unique_lock<std::mutex>& lock, std::string_view bytes,
                             ViUInt32 timeout_ms, bool&)
{
    std::shared_ptr<watch> w = watch_;
    if (!w)
        return VI_ERROR_IO;
    lock.unlock();
    ViStatus st = VI_ERROR_SYSTEM_ERROR;
    owned_handle done(new_event());
    if (done) {
        OVERLAPPED ov{};
        ov.hEvent = done.get();
        const HANDLE h = w->handle.get();
        const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &ov);
        st = finish(h, ov, ok, timeout_ms);
    }
    lock.lock();
    return st;
}

ViStatus comm_line::send_break(port&, std::unique_lock<std::mutex>& lock, bool device_clear, bool&)
{
    std::shared_ptr<watch> w = watch_;
    if (!w)
        return VI_ERROR_IO;
    const HANDLE h = w->handle.get();
    lock.unlock();
    if (device_clear)
        PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    const bool ok = SetCommBreak(h) && (Sleep(250), ClearCommBreak(h));
    lock.lock();
    return ok ? VI_SUCCESS : VI_ERROR_IO;
}

ViStatus comm_line::apply(port& p)
{
    if (!watch_)
        return VI_SUCCESS;  // applied when the port is opened
    const HANDLE h = watch_->handle.get();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb))
        return VI_ERROR_IO;
    const auto flow = value_or(p, VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_NONE);
    const bool dtr = value_or(p, VI_ATTR_ASRL_DTR_STATE, VI_STATE_ASSERTED) == VI_STATE_ASSERTED;
    const bool rts = value_or(p, VI_ATTR_ASRL_RTS_STATE, VI_STATE_ASSERTED) == VI_STATE_ASSERTED;
    dcb.BaudRate = static_cast<DWORD>(value_or(p, VI_ATTR_ASRL_BAUD, 9600));
    dcb.ByteSize = static_cast<BYTE>(value_or(p, VI_ATTR_ASRL_DATA_BITS, 8));
    dcb.Parity = static_cast<BYTE>(value_or(p, VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_NONE));
    dcb.StopBits = stop_bits(value_or(p, VI_ATTR_ASRL_STOP_BITS, VI_ASRL_STOP_ONE));
    dcb.fBinary = TRUE;
    dcb.fParity = dcb.Parity != NOPARITY;
    dcb.fOutX = dcb.fInX = (flow & VI_ASRL_FLOW_XON_XOFF) != 0;
    dcb.XonChar = static_cast<char>(value_or(p, VI_ATTR_ASRL_XON_CHAR, 0x11));
    dcb.XoffChar = static_cast<char>(value_or(p, VI_ATTR_ASRL_XOFF_CHAR, 0x13));
    dcb.fOutxCtsFlow = (flow & VI_ASRL_FLOW_RTS_CTS) != 0;
    dcb.fRtsControl = dcb.fOutxCtsFlow ? RTS_CONTROL_HANDSHAKE
                      : rts            ? RTS_CONTROL_ENABLE
                                       : RTS_CONTROL_DISABLE;
    dcb.fOutxDsrFlow = (flow & VI_ASRL_FLOW_DTR_DSR) != 0;
    dcb.fDtrControl = dcb.fOutxDsrFlow ? DTR_CONTROL_HANDSHAKE
                      : dtr            ? DTR_CONTROL_ENABLE
                                       : DTR_CONTROL_DISABLE;
    dcb.fNull = value_or(p, VI_ATTR_ASRL_DISCARD_NULL, VI_FALSE) != VI_FALSE;
    if (!SetCommState(h, &dcb))
        return VI_ERROR_NSUP_ATTR_STATE;
    const bool brk =
        value_or(p, VI_ATTR_ASRL_BREAK_STATE, VI_STATE_UNASSERTED) == VI_STATE_ASSERTED;
    if (brk != break_applied_) {
        if (!(brk ? SetCommBreak(h) : ClearCommBreak(h)))
            return VI_ERROR_NSUP_ATTR_STATE;
        break_applied_ = brk;
    }
    return VI_SUCCESS;
}

void comm_line::discard_buffers(port&, bool input, bool output)
{
    if (watch_ && (input || output))
        PurgeComm(watch_->handle.get(),
                  (input ? PURGE_RXCLEAR : 0u) | (output ? PURGE_TXABORT | PURGE_TXCLEAR : 0u));
}

ViStatus comm_line::set_buffer_sizes(port&, bool input, bool output, ViUInt32 size)
{
    if (input)
        in_size_ = size;
    if (output)
        out_size_ = size;
    if (!watch_)
        return VI_SUCCESS;  // taken when the port is opened
    return SetupComm(watch_->handle.get(), in_size_, out_size_) ? VI_SUCCESS : VI_WARN_NSUP_BUF;
}

ViInt16 comm_line::modem_line(const port&, ViAttr line) const
{
    DWORD status = 0;
    if (!watch_ || !GetCommModemStatus(watch_->handle.get(), &status))
        return VI_STATE_UNKNOWN;  // a port without modem lines
    switch (line) {
    case VI_ATTR_ASRL_CTS_STATE:
        return (status & MS_CTS_ON) ? VI_STATE_ASSERTED : VI_STATE_UNASSERTED;
    case VI_ATTR_ASRL_DSR_STATE:
        return (status & MS_DSR_ON) ? VI_STATE_ASSERTED : VI_STATE_UNASSERTED;
    case VI_ATTR_ASRL_DCD_STATE:
        return (status & MS_RLSD_ON) ? VI_STATE_ASSERTED : VI_STATE_UNASSERTED;
    default:
        return (status & MS_RING_ON) ? VI_STATE_ASSERTED : VI_STATE_UNASSERTED;
    }
}

std::string comm_line::description(const port&) const
{
    return "Serial port " + name_;
}

}  // namespace simvisa
