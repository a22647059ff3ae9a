// What is at the far end of a port: a simulated instrument, or a serial port of the machine.
// The port and the operations above it see only this interface.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

#include "visa.h"

namespace simvisa {

class port;
using clock = std::chrono::steady_clock;

class line_end {
public:
    virtual ~line_end() = default;

    // The port's first session opens it. Caller holds p.m.
    virtual ViStatus connect(port& p) = 0;
    // The port's last session has closed it. Caller holds no lock of the port.
    virtual void disconnect(port&) {}

    // Bytes from the host onto the line, within timeout_ms. `lock` holds p.m; it may be
    // released meanwhile and is held again on return. service_request is set when the device
    // now requests service.
    virtual ViStatus transmit(port& p, std::unique_lock<std::mutex>& lock, std::string_view bytes,
                              ViUInt32 timeout_ms, bool& service_request) = 0;
    // A break on the line: after data (it ends the message) or alone (a device clear). `lock`
    // as for transmit.
    virtual ViStatus send_break(port& p, std::unique_lock<std::mutex>& lock, bool device_clear,
                                bool& service_request) = 0;
    // Brings the line in step with the port's settings after one of them was set; an error
    // refuses the setting. Caller holds p.m.
    virtual ViStatus apply(port&) { return VI_SUCCESS; }
    // Drops what the far end's own buffers hold: received bytes not yet taken, bytes not yet
    // sent. Caller holds p.m.
    virtual void discard_buffers(port&, bool /*input*/, bool /*output*/) {}
    // Sizes of the far end's receive and transmit buffers (viSetBuf); VI_WARN_NSUP_BUF when
    // it keeps its own. Caller holds p.m.
    virtual ViStatus set_buffer_sizes(port&, bool /*input*/, bool /*output*/, ViUInt32)
    {
        return VI_SUCCESS;
    }
    // The state of a modem line driven by the far end (VI_ATTR_ASRL_CTS_STATE ...). Caller
    // holds p.m.
    virtual ViInt16 modem_line(const port& p, ViAttr line) const = 0;
    // Whether the far end has a way to request service, so that VI_EVENT_SERVICE_REQ can arise
    // on the port. Fixed for the line's lifetime: no lock needed.
    virtual bool requests_service() const { return true; }
    // The text of VI_ATTR_INTF_INST_NAME.
    virtual std::string description(const port& p) const = 0;
};

}  // namespace simvisa
