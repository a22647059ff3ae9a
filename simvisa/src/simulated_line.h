// A simulated instrument at the far end of a port, played from its device description.
#pragma once

#include <memory>
#include <vector>

#include "instrument.h"
#include "line_end.h"

namespace simvisa {

class simulated_line : public line_end {
public:
    explicit simulated_line(std::string device_file) : device_file_(std::move(device_file)) {}

    ViStatus connect(port& p) override;
    ViStatus transmit(port& p, std::unique_lock<std::mutex>& lock, std::string_view bytes,
                      ViUInt32 timeout_ms, bool& service_request) override;
    ViStatus send_break(port& p, std::unique_lock<std::mutex>& lock, bool device_clear,
                        bool& service_request) override;
    ViInt16 modem_line(const port& p, ViAttr line) const override;
    std::string description(const port& p) const override;

private:
    const std::string device_file_;  // empty: nothing is connected
    std::unique_ptr<instrument> device_;

    // The replies reach the receive buffer after their delays; true when service is requested.
    bool schedule(port& p, const std::vector<instrument::reply>& replies, clock::time_point now);
};

}  // namespace simvisa
