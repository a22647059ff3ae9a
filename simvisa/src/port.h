// A serial port: the resource that sessions share. It holds the line settings and other global
// attributes, the bytes received from the far end, the locks of its sessions and what is at the
// far end of the line (a simulated instrument, or a serial port of the machine).
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
#include "line_end.h"
#include "objects.h"

namespace simvisa {

class port : public std::enable_shared_from_this<port> {
public:
    port(ViUInt16 board, std::unique_ptr<line_end> end, line_settings configured);

    const ViUInt16 board;
    const std::string name;          // "ASRL<n>::INSTR"
    const line_settings configured;  // the settings VI_LOAD_CONFIG applies
    const std::unique_ptr<line_end> end;

    // Everything below is guarded by m; cv is signalled on every change that a waiting read,
    // write or lock may be waiting for.
    std::mutex m;
    std::condition_variable cv;
    attr_values values;
    struct rx_byte {
        clock::time_point at;
        unsigned char b;
    };
    std::deque<rx_byte> rx;
    // The simulated device's output lines as the port sees them (VI_ATTR_ASRL_CTS_STATE ...).
    std::map<ViAttr, ViInt16> modem_lines;
    bool line_lost = false;  // the far end has gone: reads stop waiting for it
    ViSession exclusive_owner = 0;
    unsigned exclusive_count = 0;
    std::map<ViSession, unsigned> shared;  // holders of the shared lock and their nesting
    std::string shared_key;
    std::vector<std::weak_ptr<instr_session>> sessions;

    // The session may do I/O and set global attributes (no other session's lock is in the way).
    bool accessible_by(ViSession vi) const;
    ViAccessMode lock_state() const;
    line_settings host_line() const;
    ViUInt32 available(clock::time_point now) const;
    // Bytes that reach the port's receive buffer at `at`, as they are.
    void arrive(std::string_view bytes, clock::time_point at);
    void discard_received(clock::time_point now);
    // The port as the first session of it finds it: initial attributes, nothing received, the
    // far end connected. Raises device_file_error for a malformed device description.
    ViStatus reset();
};

// The port of `board` in the configuration, loaded at first use.
std::shared_ptr<port> configured_port(ViUInt16 board);
// The machine's serial port COM<board>, for a board that the configuration does not name;
// whether the machine has it shows when the first session opens it.
std::shared_ptr<port> machine_port(ViUInt16 board);
std::vector<std::string> configured_resources();
// The port of a simulated open: the device file that the simulation block names on `board`.
std::shared_ptr<port> simulation_port(ViUInt16 board, const std::string& device_file);
// Replaces the configured ports (those with open sessions stay as they are).
ViStatus load_configuration(const char* path);
bool configuration_loaded();

}  // namespace simvisa
