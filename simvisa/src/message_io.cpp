#include "message_io.h"

#include <algorithm>
#include <string>

#include "line_events.h"
#include "port.h"

namespace simvisa {
namespace {

struct read_rules {
    ViUInt32 timeout;
    unsigned char termchar;
    bool termchar_en;
    ViUInt16 end_in;
    bool suppress_end;
};

read_rules rules_of(instr_session& s)
{
    std::lock_guard lock(s.m);
    return {static_cast<ViUInt32>(s.values.at(VI_ATTR_TMO_VALUE)),
            static_cast<unsigned char>(s.values.at(VI_ATTR_TERMCHAR)),
            s.values.at(VI_ATTR_TERMCHAR_EN) != 0,
            static_cast<ViUInt16>(s.values.at(VI_ATTR_ASRL_END_IN)),
            s.values.at(VI_ATTR_SUPPRESS_END_EN) != 0};
}

enum class stop { none, end, term_char, max_count };

// What one received byte does to a read that has stored `stored` bytes with it.
stop judge(const read_rules& r, unsigned char b, unsigned data_bits, ViUInt32 stored,
           ViUInt32 count)
{
    bool end = (r.end_in == VI_ASRL_END_TERMCHAR && b == r.termchar) ||
               (r.end_in == VI_ASRL_END_LAST_BIT && (b & (1u << (data_bits - 1))));
    if (end && !r.suppress_end)
        return stop::end;
    if (r.termchar_en && b == r.termchar)
        return stop::term_char;
    if (stored == count)
        return stop::max_count;
    return stop::none;
}

clock::time_point deadline_of(ViUInt32 timeout, clock::time_point now)
{
    if (timeout == VI_TMO_INFINITE)
        return clock::time_point::max();
    return now + std::chrono::milliseconds(timeout);
}

// Bounded waits, so that the "infinite" deadline never overflows a clock conversion.
template <class Lock>
void wait_until(port& p, Lock& lock, clock::time_point t)
{
    auto limit = clock::now() + std::chrono::hours(1);
    p.cv.wait_until(lock, std::min(t, limit));
}

}  // namespace

ViStatus read_message(const std::shared_ptr<instr_session>& s, ViPBuf buf, ViUInt32 count,
                      ViUInt32& ret, const std::atomic<bool>* cancel)
{
    ret = 0;
    if (count == 0)
        return VI_SUCCESS_MAX_CNT;
    const read_rules r = rules_of(*s);
    port& p = *s->port;
    std::unique_lock lock(p.m);
    if (!p.accessible_by(s->id))
        return VI_ERROR_RSRC_LOCKED;
    const clock::time_point deadline = deadline_of(r.timeout, clock::now());
    for (;;) {
        // Before any byte is stored: a terminated read leaves the buffer as it is.
        if ((cancel && *cancel) || s->closed)
            return VI_ERROR_ABORT;
        const auto now = clock::now();
        const unsigned data_bits = static_cast<unsigned>(p.values.at(VI_ATTR_ASRL_DATA_BITS));
        const bool discard_null = p.values.at(VI_ATTR_ASRL_DISCARD_NULL) != 0;
        while (!p.rx.empty() && p.rx.front().at <= now) {
            unsigned char b = p.rx.front().b;
            p.rx.pop_front();
            if (data_bits < 8)
                b &= static_cast<unsigned char>((1u << data_bits) - 1);
            if (discard_null && b == 0)
                continue;
            buf[ret++] = b;
            switch (judge(r, b, data_bits, ret, count)) {
            case stop::end:
                return VI_SUCCESS;
            case stop::term_char:
                return VI_SUCCESS_TERM_CHAR;
            case stop::max_count:
                return VI_SUCCESS_MAX_CNT;
            case stop::none:
                break;
            }
        }
        if (p.line_lost)
            return VI_ERROR_IO;  // nothing more will come
        if (now >= deadline)
            return VI_ERROR_TMO;
        clock::time_point wake = deadline;
        if (!p.rx.empty())
            wake = std::min(wake, p.rx.front().at);
        wait_until(p, lock, wake);
    }
}

bool read_would_complete(const std::shared_ptr<instr_session>& s, ViUInt32 count)
{
    if (count == 0)
        return true;
    const read_rules r = rules_of(*s);
    port& p = *s->port;
    std::lock_guard lock(p.m);
    if (!p.accessible_by(s->id))
        return true;  // fails at once
    const auto now = clock::now();
    const unsigned data_bits = static_cast<unsigned>(p.values.at(VI_ATTR_ASRL_DATA_BITS));
    const bool discard_null = p.values.at(VI_ATTR_ASRL_DISCARD_NULL) != 0;
    ViUInt32 stored = 0;
    for (const auto& rb : p.rx) {
        if (rb.at > now)
            break;
        unsigned char b = rb.b;
        if (data_bits < 8)
            b &= static_cast<unsigned char>((1u << data_bits) - 1);
        if (discard_null && b == 0)
            continue;
        if (judge(r, b, data_bits, ++stored, count) != stop::none)
            return true;
    }
    return r.timeout == VI_TMO_IMMEDIATE;
}

ViStatus write_message(const std::shared_ptr<instr_session>& s, const unsigned char* buf,
                       ViUInt32 count, ViUInt32& ret)
{
    ret = 0;
    ViUInt32 timeout;
    bool send_end;
    ViUInt16 end_out;
    unsigned char termchar;
    {
        std::lock_guard lock(s->m);
        timeout = static_cast<ViUInt32>(s->values.at(VI_ATTR_TMO_VALUE));
        send_end = s->values.at(VI_ATTR_SEND_END_EN) != 0;
        end_out = static_cast<ViUInt16>(s->values.at(VI_ATTR_ASRL_END_OUT));
        termchar = static_cast<unsigned char>(s->values.at(VI_ATTR_TERMCHAR));
    }
    port& p = *s->port;
    std::unique_lock lock(p.m);
    if (!p.accessible_by(s->id))
        return VI_ERROR_RSRC_LOCKED;
    // A transmitter held off (VI_ATTR_ASRL_ALLOW_TRANSMIT false, as after XOFF) sends nothing
    // until it is allowed again or the time-out expires.
    const clock::time_point deadline = deadline_of(timeout, clock::now());
    while (p.values.at(VI_ATTR_ASRL_ALLOW_TRANSMIT) == 0) {
        if (s->closed)
            return VI_ERROR_ABORT;
        if (clock::now() >= deadline)
            return VI_ERROR_TMO;
        wait_until(p, lock, deadline);
    }
    const unsigned data_bits = static_cast<unsigned>(p.values.at(VI_ATTR_ASRL_DATA_BITS));
    std::string bytes(reinterpret_cast<const char*>(buf), count);
    if (end_out == VI_ASRL_END_LAST_BIT) {
        // The last bit marks END: clear on every byte, set on the last one when END is sent.
        const unsigned char mark = static_cast<unsigned char>(1u << (data_bits - 1));
        for (char& c : bytes)
            c = static_cast<char>(static_cast<unsigned char>(c) & ~mark);
        if (send_end && !bytes.empty())
            bytes.back() = static_cast<char>(static_cast<unsigned char>(bytes.back()) | mark);
    }
    if (send_end && end_out == VI_ASRL_END_TERMCHAR)
        bytes += static_cast<char>(termchar);
    bool service_request = false;
    ViStatus st = p.end->transmit(p, lock, bytes, timeout, service_request);
    if (st >= 0 && send_end && end_out == VI_ASRL_END_BREAK) {
        bool after_break = false;
        st = p.end->send_break(p, lock, false, after_break);
        service_request = service_request || after_break;
    }
    if (st < 0)
        return st;
    ret = count;
    if (service_request) {
        // Raised with the port unlocked: a handler called on this thread may use the port.
        const auto listeners = p.sessions;
        lock.unlock();
        raise_on_sessions(listeners, VI_EVENT_SERVICE_REQ);
    }
    return VI_SUCCESS;
}

void wake_port(const std::shared_ptr<instr_session>& s)
{
    std::lock_guard lock(s->port->m);
    s->port->cv.notify_all();
}

}  // namespace simvisa
