#pragma once
// An in-test I/O monitor: switches tracing on as a monitor does, reads and acknowledges every
// record of the trace pipe on a thread of its own (so writers of any process never wait long),
// and keeps the records of this process.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "trace/trace_pipe.h"
#include "trace/trace_status.h"

namespace mrv::test {

class trace_collector {
public:
    trace_collector()
    {
        auto& status = trace::shared_trace_status();
        status.start();
        pipe_ = trace::process_trace_pipe();
        if (!pipe_) {
            ADD_FAILURE() << "no trace pipe";
            return;
        }
        status.set_flag(trace::status_monitor_at, 1);
        status.set_flag(trace::status_records_wanted_at, 1);
        status.set_tracing(true);
        reader_ = std::thread([this] { read(); });
    }
    ~trace_collector() { stop(); }
    trace_collector(const trace_collector&) = delete;
    trace_collector& operator=(const trace_collector&) = delete;

    // Tracing off and flags cleared; the records stay.
    void stop()
    {
        auto& status = trace::shared_trace_status();
        status.set_tracing(false);
        status.set_flag(trace::status_records_wanted_at, 0);
        status.set_flag(trace::status_monitor_at, 0);
        stopping_ = true;
        if (reader_.joinable())
            reader_.join();
    }
    void set_tracing(bool on) { trace::shared_trace_status().set_tracing(on); }

    std::vector<std::wstring> records() const
    {
        std::lock_guard guard(lock_);
        return records_;
    }
    void clear()
    {
        std::lock_guard guard(lock_);
        records_.clear();
    }

private:
    void read()
    {
        const std::wstring own = L"ProcessID=\"" + std::to_wstring(GetCurrentProcessId()) + L"\"";
        std::vector<wchar_t> buffer(trace::kPipeCapacity / 2 + 1);
        while (!stopping_) {
            DWORD length = 0;
            if (pipe_->wait_for_record(50, &length) != trace::pipe_ok)
                continue;
            const DWORD bytes = pipe_->take_record(buffer.data(), trace::kPipeCapacity, nullptr);
            std::wstring text(buffer.data(), bytes / 2);
            text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
            if (text.find(own) != std::wstring::npos) {
                std::lock_guard guard(lock_);
                records_.push_back(text);
            }
            // Only now may the writer (and the traced call) go on.
            pipe_->acknowledge();
        }
    }

    trace::trace_pipe* pipe_ = nullptr;
    std::thread reader_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex lock_;
    std::vector<std::wstring> records_;
};

}  // namespace mrv::test
