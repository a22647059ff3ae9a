// A simulated serial port: the resource that sessions share. It holds the line settings and
// other global attributes, the bytes received from the device, the locks of its sessions and
// the instrument at the other end of the cable.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "attributes.h"
#include "device_model.h"
#include "instrument.h"
#include "objects.h"

namespace simvisa {

using clock = std::chrono::steady_clock;

class port {
public:
    port(ViUInt16 board, std::string device_file, line_settings configured);

    const ViUInt16 board;
    const std::string name;          // "ASRL<n>::INSTR"
    const std::string device_file;   // empty: nothing is connected
    const line_settings configured;  // the settings VI_LOAD_CONFIG applies

    // Everything below is guarded by m; cv is signalled on every change that a waiting read,
    // write or lock may be waiting for.
    std::mutex m;
    std::condition_variable cv;
    std::unique_ptr<instrument> device;
    attr_values values;
    struct rx_byte {
        clock::time_point at;
        unsigned char b;
    };
    std::deque<rx_byte> rx;
    // The device's output lines as the port sees them (VI_ATTR_ASRL_CTS_STATE ... _RI_STATE).
    std::map<ViAttr, ViInt16> modem_lines;
    ViSession exclusive_owner = 0;
    unsigned exclusive_count = 0;
    std::map<ViSession, unsigned> shared;  // holders of the shared lock and their nesting
    std::string shared_key;
    std::vector<std::weak_ptr<instr_session>> sessions;

    // Loads the device description at the first open; raises device_file_error.
    void attach_device();
    // The session may do I/O and set global attributes (no other session's lock is in the way).
    bool accessible_by(ViSession vi) const;
    ViAccessMode lock_state() const;
    line_settings host_line() const;
    ViUInt32 available(clock::time_point now) const;
    // Bytes from the host onto the line; the device answers them in its own time. True when
    // the device now requests service: the caller raises the event once it has released m.
    bool transmit(std::string_view bytes, clock::time_point now);
    // A break: after data it ends the device's message; on an idle line (device clear) it
    // drops the device's partial message and the replies still on their way. True as transmit.
    bool line_break(bool device_clear, clock::time_point now);
    // Bytes that reach the port's receive buffer at `at`, as they are.
    void arrive(std::string_view bytes, clock::time_point at);
    void discard_received(clock::time_point now);
    // The port as the first session of it finds it: initial attributes, nothing received,
    // the modem lines as the device drives them.
    void reset();

private:
    bool schedule(const std::vector<instrument::reply>& replies, clock::time_point now);
};

// The ports of the configuration, loaded at first use.
std::shared_ptr<port> configured_port(ViUInt16 board);
std::vector<std::string> configured_resources();
// The port of a simulated open: the device file that the simulation block names on `board`.
std::shared_ptr<port> simulation_port(ViUInt16 board, const std::string& device_file);
// Replaces the configured ports (those with open sessions stay as they are).
ViStatus load_configuration(const char* path);
bool configuration_loaded();

}  // namespace simvisa
