#include "async_io.h"

#include "events.h"
#include "message_io.h"
#include "module.h"
#include "port.h"

namespace simvisa {
namespace {

void complete(const std::shared_ptr<instr_session>& s, const async_job& job, ViStatus status,
              ViUInt32 ret)
{
    event_data ev = make_event(VI_EVENT_IO_COMPLETION);
    set_number(ev, VI_ATTR_STATUS, 4, static_cast<ViUInt32>(status));
    set_number(ev, VI_ATTR_JOB_ID, 4, job.id);
    set_number(ev, VI_ATTR_RET_COUNT_32, 4, ret);
    set_number(ev, VI_ATTR_RET_COUNT_64, 8, ret);
    set_number(ev, VI_ATTR_BUFFER, sizeof(void*), reinterpret_cast<uintptr_t>(job.buf));
    set_text(ev, VI_ATTR_OPER_NAME, job.write ? "viWriteAsync" : "viReadAsync");
    post_event(s, std::move(ev));
}

ViJobId new_job_id(instr_session& s)
{
    if (s.next_job == 0)
        s.next_job = 1;  // 0 is reserved
    return s.next_job++;
}

void run_jobs(std::shared_ptr<instr_session> s)
{
    for (;;) {
        std::shared_ptr<async_job> job;
        {
            std::lock_guard lock(s->job_m);
            if (s->jobs.empty()) {
                s->worker = false;
                return;
            }
            job = s->jobs.front();
            s->jobs.pop_front();
            s->running = job;
        }
        ViUInt32 ret = 0;
        ViStatus status =
            job->cancel ? VI_ERROR_ABORT : read_message(s, job->buf, job->count, ret, &job->cancel);
        {
            std::lock_guard lock(s->job_m);
            s->running.reset();
        }
        if (job->cancel)
            status = VI_ERROR_ABORT;
        complete(s, *job, status, ret);
    }
}

}  // namespace

ViStatus start_read_async(const std::shared_ptr<instr_session>& s, ViPBuf buf, ViUInt32 count,
                          ViPJobId job_out)
{
    auto job = std::make_shared<async_job>();
    job->buf = buf;
    job->count = count;
    bool at_once;
    {
        std::lock_guard lock(s->job_m);
        job->id = new_job_id(*s);
        if (job_out)
            *job_out = job->id;
        at_once = !s->worker && s->jobs.empty() && read_would_complete(s, count);
        if (!at_once) {
            s->jobs.push_back(job);
            if (!s->worker) {
                s->worker = start_library_thread([s] { run_jobs(s); });
                if (!s->worker) {
                    s->jobs.pop_back();
                    return VI_ERROR_QUEUE_ERROR;
                }
            }
        }
    }
    if (!at_once)
        return VI_SUCCESS;
    ViUInt32 ret = 0;
    ViStatus status = read_message(s, buf, count, ret, &job->cancel);
    complete(s, *job, status, ret);
    return VI_SUCCESS_SYNC;
}

ViStatus start_write_async(const std::shared_ptr<instr_session>& s, ViConstBuf buf, ViUInt32 count,
                           ViPJobId job_out)
{
    // The line takes written bytes at once, so a write always completes synchronously.
    async_job job;
    job.write = true;
    job.buf = const_cast<ViPBuf>(buf);
    job.count = count;
    {
        std::lock_guard lock(s->job_m);
        job.id = new_job_id(*s);
    }
    if (job_out)
        *job_out = job.id;
    ViUInt32 ret = 0;
    ViStatus status = write_message(s, buf, count, ret);
    complete(s, job, status, ret);
    return VI_SUCCESS_SYNC;
}

ViStatus terminate_job(const std::shared_ptr<instr_session>& s, ViJobId id)
{
    std::shared_ptr<async_job> waiting;
    {
        std::lock_guard lock(s->job_m);
        for (auto it = s->jobs.begin(); it != s->jobs.end(); ++it) {
            if ((*it)->id != id)
                continue;
            waiting = *it;
            s->jobs.erase(it);
            break;
        }
        if (!waiting) {
            if (!s->running || s->running->id != id || s->running->cancel)
                return VI_ERROR_INV_JOB_ID;
            // Under the port's lock, which the running read holds whenever it stores bytes:
            // once viTerminate returns, nothing more reaches the caller's buffer, which the
            // caller may then free.
            std::lock_guard port_lock(s->port->m);
            s->running->cancel = true;
            s->port->cv.notify_all();
        }
    }
    if (waiting) {
        waiting->cancel = true;
        complete(s, *waiting, VI_ERROR_ABORT, 0);
    }
    return VI_SUCCESS;
}

void cancel_jobs(const std::shared_ptr<instr_session>& s)
{
    {
        std::lock_guard lock(s->job_m);
        for (auto& j : s->jobs)
            j->cancel = true;
        if (s->running)
            s->running->cancel = true;
    }
    wake_port(s);
}

}  // namespace simvisa
