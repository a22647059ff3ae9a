#pragma once
// Where the monitor's records go: each record that passes the filters becomes one line (the
// readable summary or the record's XML text, byte for byte) in the output file or on the console.
#include <cstdio>
#include <string>

#include "record_queue.h"

namespace iomonitor {

struct output_options {
    bool xml = false;
    std::wstring method;  // only records whose method name contains this
    std::wstring pid;     // only records of this process
    long count = -1;      // records to show; -1: no limit
};

class record_output {
public:
    // Writes to `out` (not owned, switched to binary mode), through a buffer of its own: lines
    // leave it when flush() is called or the buffer is full.
    record_output(const output_options& options, FILE* out);

    // False when the record was not shown (filtered out, or the count is reached).
    bool write(const taken_record& record);
    void flush() { std::fflush(out_); }

    long shown() const noexcept { return shown_; }
    bool count_reached() const noexcept { return options_.count >= 0 && shown_ >= options_.count; }

private:
    output_options options_;
    FILE* out_;
    long shown_ = 0;
    std::string line_;
};

}  // namespace iomonitor
