// A serial port of the machine at the far end of a port, driven with the Win32 serial API. A
// watcher thread moves the bytes the port receives into the port's receive buffer and raises
// the line's events (break, modem-line changes) that WaitCommEvent reports. A 488.2-style
// instrument requests service with a byte of its own, which the watcher takes out of the data
// and turns into VI_EVENT_SERVICE_REQ.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "line_end.h"

namespace simvisa {

// Whether the machine names a serial port `name` ("COM5") among its devices.
bool comm_port_named(const std::string& name);

class comm_line : public line_end {
public:
    // service_request_byte: the byte the instrument sends to request service; none when it
    // has no way to.
    explicit comm_line(std::string name,
                       std::optional<unsigned char> service_request_byte = std::nullopt)
        : name_(std::move(name)), service_request_byte_(service_request_byte)
    {}
    ~comm_line() override;

    ViStatus connect(port& p) override;
    void disconnect(port& p) override;
    ViStatus transmit(port& p, std::unique_lock<std::mutex>& lock, std::string_view bytes,
                      ViUInt32 timeout_ms, bool& service_request) override;
    ViStatus send_break(port& p, std::unique_lock<std::mutex>& lock, bool device_clear,
                        bool& service_request) override;
    ViStatus apply(port& p) override;
    void discard_buffers(port& p, bool input, bool output) override;
    ViStatus set_buffer_sizes(port& p, bool input, bool output, ViUInt32 size) override;
    ViInt16 modem_line(const port& p, ViAttr line) const override;
    std::string description(const port& p) const override;
    bool requests_service() const override { return service_request_byte_.has_value(); }

    struct watch;  // the open port, shared with its watcher thread

private:
    const std::string name_;
    const std::optional<unsigned char> service_request_byte_;
    std::shared_ptr<watch> watch_;  // under the port's lock; null while not connected
    bool break_applied_ = false;
    ViUInt32 in_size_ = 4096, out_size_ = 4096;  // the driver's queues (viSetBuf)
};

}  // namespace simvisa
