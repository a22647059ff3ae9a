// Basic and buffered I/O, IEEE 488.2 operations over serial, asynchronous jobs and locks.
#include <cstdlib>
#include <cstring>
#include <string>

#include "api_frame.h"
#include "async_io.h"
#include "locks.h"
#include "message_io.h"
#include "port.h"
#include "session_access.h"

using namespace simvisa;

namespace {

bool strings_protocol(instr_session& s)
{
    return local_value(s, VI_ATTR_IO_PROT) == VI_PROT_4882_STRS;
}

ViStatus send_string(const std::shared_ptr<instr_session>& s, const char* text)
{
    ViUInt32 ret = 0;
    return write_message(s, reinterpret_cast<const unsigned char*>(text),
                         static_cast<ViUInt32>(std::strlen(text)), ret);
}

// Sends the formatted write buffer.
ViStatus flush_write_buffer(const std::shared_ptr<instr_session>& s)
{
    std::string data;
    {
        std::lock_guard lock(s->m);
        data.swap(s->write_buffer);
    }
    if (data.empty())
        return VI_SUCCESS;
    ViUInt32 ret = 0;
    return write_message(s, reinterpret_cast<const unsigned char*>(data.data()),
                         static_cast<ViUInt32>(data.size()), ret);
}

ViStatus flush(const std::shared_ptr<instr_session>& s, ViUInt16 mask)
{
    if (mask & ~0xFF)
        return VI_ERROR_INV_MASK;
    // One flag per buffer: flushing and discarding the same buffer at once is refused.
    for (ViUInt16 pair :
         {VI_READ_BUF | VI_READ_BUF_DISCARD, VI_WRITE_BUF | VI_WRITE_BUF_DISCARD,
          VI_IO_IN_BUF | VI_IO_IN_BUF_DISCARD, VI_IO_OUT_BUF | VI_IO_OUT_BUF_DISCARD})
        if ((mask & pair) == pair)
            return VI_ERROR_INV_MASK;
    if (mask & (VI_IO_IN_BUF | VI_IO_IN_BUF_DISCARD | VI_IO_OUT_BUF | VI_IO_OUT_BUF_DISCARD |
                VI_WRITE_BUF)) {
        std::lock_guard lock(s->port->m);
        if (!s->port->accessible_by(s->id))
            return VI_ERROR_RSRC_LOCKED;
        const bool input = mask & (VI_IO_IN_BUF | VI_IO_IN_BUF_DISCARD);
        if (input)
            s->port->discard_received(clock::now());
        // Writes end when the line has taken their bytes: sending the transmit buffer has
        // nothing left to wait for, discarding it drops what the far end still holds.
        s->port->end->discard_buffers(*s->port, input, mask & VI_IO_OUT_BUF_DISCARD);
    }
    {
        std::lock_guard lock(s->m);
        if (mask & (VI_READ_BUF | VI_READ_BUF_DISCARD))
            s->read_buffer.clear();
        if (mask & VI_WRITE_BUF_DISCARD)
            s->write_buffer.clear();
    }
    return (mask & VI_WRITE_BUF) ? flush_write_buffer(s) : VI_SUCCESS;
}

ViStatus set_buffer(const std::shared_ptr<instr_session>& s, ViUInt16 mask, ViUInt32 size)
{
    if (mask & ~(VI_READ_BUF | VI_WRITE_BUF | VI_IO_IN_BUF | VI_IO_OUT_BUF))
        return VI_ERROR_INV_MASK;
    ViStatus result = VI_SUCCESS;
    if (mask & (VI_IO_IN_BUF | VI_IO_OUT_BUF)) {
        port& p = *s->port;
        std::lock_guard lock(p.m);
        if (mask & VI_IO_IN_BUF)
            p.discard_received(clock::now());
        result = p.end->set_buffer_sizes(p, mask & VI_IO_IN_BUF, mask & VI_IO_OUT_BUF, size);
    }
    std::lock_guard lock(s->m);
    if (mask & VI_READ_BUF) {
        s->values[VI_ATTR_RD_BUF_SIZE] = size;
        s->read_buffer.clear();
    }
    if (mask & VI_WRITE_BUF) {
        s->values[VI_ATTR_WR_BUF_SIZE] = size;
        s->write_buffer.clear();
    }
    return result;
}

ViStatus read_stb(const std::shared_ptr<instr_session>& s, ViPUInt16 status)
{
    if (!status)
        return VI_ERROR_INV_PARAMETER;
    if (!strings_protocol(*s))
        return VI_ERROR_NSUP_OPER;
    if (ViStatus st = send_string(s, "*STB?\n"); st < 0)
        return st;
    unsigned char reply[64];
    ViUInt32 ret = 0;
    ViStatus st = read_message(s, reply, sizeof reply - 1, ret, nullptr);
    if (st < 0)
        return st;
    reply[ret] = '\0';
    char* end = nullptr;
    long v = std::strtol(reinterpret_cast<char*>(reply), &end, 10);
    if (end == reinterpret_cast<char*>(reply))
        return VI_ERROR_IO;
    *status = static_cast<ViUInt16>(v & 0xFF);
    return VI_SUCCESS;
}

ViStatus clear(const std::shared_ptr<instr_session>& s)
{
    {
        std::lock_guard lock(s->m);
        s->read_buffer.clear();
        s->write_buffer.clear();
    }
    if (strings_protocol(*s))
        return send_string(s, "*CLS\n");
    // Normal protocol: drop what is buffered both ways and send a break, which the device
    // takes as a device clear.
    port& p = *s->port;
    std::unique_lock lock(p.m);
    if (!p.accessible_by(s->id))
        return VI_ERROR_RSRC_LOCKED;
    bool service_request = false;
    const ViStatus st = p.end->send_break(p, lock, true, service_request);
    p.discard_received(clock::now());
    return st;
}

ViStatus assert_trigger(const std::shared_ptr<instr_session>& s, ViUInt16 protocol)
{
    if (protocol != VI_TRIG_PROT_DEFAULT)
        return VI_ERROR_INV_PROT;
    if (!strings_protocol(*s))
        return VI_ERROR_NSUP_OPER;
    return send_string(s, "*TRG\n");
}

ViStatus buf_write(const std::shared_ptr<instr_session>& s, ViConstBuf buf, ViUInt32 cnt,
                   ViPUInt32 ret)
{
    if (ret)
        *ret = 0;
    if (!buf && cnt)
        return VI_ERROR_USER_BUF;
    bool now;
    {
        std::lock_guard lock(s->m);
        s->write_buffer.append(reinterpret_cast<const char*>(buf), cnt);
        now = s->values.at(VI_ATTR_WR_BUF_OPER_MODE) == VI_FLUSH_ON_ACCESS ||
              s->write_buffer.size() >= static_cast<size_t>(s->values.at(VI_ATTR_WR_BUF_SIZE));
    }
    if (ret)
        *ret = cnt;
    return now ? flush_write_buffer(s) : VI_SUCCESS;
}

ViStatus buf_read(const std::shared_ptr<instr_session>& s, ViPBuf buf, ViUInt32 cnt, ViPUInt32 ret)
{
    if (ret)
        *ret = 0;
    if (!buf && cnt)
        return VI_ERROR_USER_BUF;
    {
        std::lock_guard lock(s->m);
        if (!s->read_buffer.empty()) {
            size_t n = std::min<size_t>(cnt, s->read_buffer.size());
            std::memcpy(buf, s->read_buffer.data(), n);
            s->read_buffer.erase(0, n);
            if (ret)
                *ret = static_cast<ViUInt32>(n);
            return n == cnt ? VI_SUCCESS_MAX_CNT : VI_SUCCESS;
        }
    }
    ViUInt32 got = 0;
    ViStatus st = read_message(s, buf, cnt, got, nullptr);
    if (ret)
        *ret = got;
    return st;
}

}  // namespace

extern "C" {

ViStatus _VI_FUNC viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    return api_call(
        "viRead", {{"vi", num(vi)}, {"buf", ptr(buf)}, {"cnt", num(cnt)}, {"retCnt", ptr(retCnt)}},
        [&] {
            if (retCnt)
                *retCnt = 0;
            return with_session(vi, [&](auto s) -> ViStatus {
                if (!buf && cnt)
                    return VI_ERROR_USER_BUF;
                ViUInt32 got = 0;
                ViStatus st = read_message(s, buf, cnt, got, nullptr);
                if (retCnt)
                    *retCnt = got;
                return st;
            });
        });
}

ViStatus _VI_FUNC viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    return api_call(
        "viWrite",
        {{"vi", num(vi)}, {"buf", bytes(buf, cnt)}, {"cnt", num(cnt)}, {"retCnt", ptr(retCnt)}},
        [&] {
            if (retCnt)
                *retCnt = 0;
            return with_session(vi, [&](auto s) -> ViStatus {
                if (!buf && cnt)
                    return VI_ERROR_USER_BUF;
                ViUInt32 sent = 0;
                ViStatus st = write_message(s, buf, cnt, sent);
                if (retCnt)
                    *retCnt = sent;
                return st;
            });
        });
}

ViStatus _VI_FUNC viReadAsync(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPJobId jobId)
{
    return api_call("viReadAsync",
                    {{"vi", num(vi)}, {"buf", ptr(buf)}, {"cnt", num(cnt)}, {"jobId", ptr(jobId)}},
                    [&] {
                        return with_session(vi, [&](auto s) -> ViStatus {
                            if (!buf && cnt)
                                return VI_ERROR_USER_BUF;
                            return start_read_async(s, buf, cnt, jobId);
                        });
                    });
}

ViStatus _VI_FUNC viWriteAsync(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPJobId jobId)
{
    return api_call(
        "viWriteAsync",
        {{"vi", num(vi)}, {"buf", bytes(buf, cnt)}, {"cnt", num(cnt)}, {"jobId", ptr(jobId)}}, [&] {
            return with_session(vi, [&](auto s) -> ViStatus {
                if (!buf && cnt)
                    return VI_ERROR_USER_BUF;
                return start_write_async(s, buf, cnt, jobId);
            });
        });
}

ViStatus _VI_FUNC viTerminate(ViObject vi, ViUInt16 degree, ViJobId jobId)
{
    return api_call("viTerminate",
                    {{"vi", num(vi)}, {"degree", num(degree)}, {"jobId", num(jobId)}}, [&] {
                        return with_session(vi, [&](auto s) -> ViStatus {
                            if (degree != VI_NULL)
                                return VI_ERROR_INV_DEGREE;
                            return terminate_job(s, jobId);
                        });
                    });
}

ViStatus _VI_FUNC viFlush(ViSession vi, ViUInt16 mask)
{
    return api_call("viFlush", {{"vi", num(vi)}, {"mask", num(mask)}},
                    [&] { return with_session(vi, [&](auto s) { return flush(s, mask); }); });
}

ViStatus _VI_FUNC viSetBuf(ViSession vi, ViUInt16 mask, ViUInt32 size)
{
    return api_call("viSetBuf", {{"vi", num(vi)}, {"mask", num(mask)}, {"size", num(size)}}, [&] {
        return with_session(vi, [&](auto s) { return set_buffer(s, mask, size); });
    });
}

ViStatus _VI_FUNC viReadSTB(ViSession vi, ViPUInt16 status)
{
    return api_call("viReadSTB", {{"vi", num(vi)}, {"status", ptr(status)}},
                    [&] { return with_session(vi, [&](auto s) { return read_stb(s, status); }); });
}

ViStatus _VI_FUNC viClear(ViSession vi)
{
    return api_call("viClear", {{"vi", num(vi)}},
                    [&] { return with_session(vi, [&](auto s) { return clear(s); }); });
}

ViStatus _VI_FUNC viAssertTrigger(ViSession vi, ViUInt16 protocol)
{
    return api_call("viAssertTrigger", {{"vi", num(vi)}, {"protocol", num(protocol)}}, [&] {
        return with_session(vi, [&](auto s) { return assert_trigger(s, protocol); });
    });
}

ViStatus _VI_FUNC viBufWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    return api_call(
        "viBufWrite",
        {{"vi", num(vi)}, {"buf", bytes(buf, cnt)}, {"cnt", num(cnt)}, {"retCnt", ptr(retCnt)}},
        [&] { return with_session(vi, [&](auto s) { return buf_write(s, buf, cnt, retCnt); }); });
}

ViStatus _VI_FUNC viBufRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    return api_call(
        "viBufRead",
        {{"vi", num(vi)}, {"buf", ptr(buf)}, {"cnt", num(cnt)}, {"retCnt", ptr(retCnt)}},
        [&] { return with_session(vi, [&](auto s) { return buf_read(s, buf, cnt, retCnt); }); });
}

ViStatus _VI_FUNC viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout,
                         ViConstKeyId requestedKey, ViChar accessKey[])
{
    return api_call("viLock",
                    {{"vi", num(vi)},
                     {"lockType", num(lockType)},
                     {"timeout", num(timeout)},
                     {"requestedKey", text(requestedKey)},
                     {"accessKey", ptr(accessKey)}},
                    [&] {
                        return with_session(vi, [&](auto s) {
                            return acquire_lock(s, lockType, timeout, requestedKey, accessKey);
                        });
                    });
}

ViStatus _VI_FUNC viUnlock(ViSession vi)
{
    return api_call("viUnlock", {{"vi", num(vi)}},
                    [&] { return with_session(vi, [&](auto s) { return release_lock(s); }); });
}

}  // extern "C"
