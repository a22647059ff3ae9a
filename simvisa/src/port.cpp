#include "port.h"

#include <algorithm>

#include "comm_line.h"
#include "config.h"
#include "control.h"
#include "line_events.h"
#include "simulated_line.h"

namespace simvisa {
port::port(ViUInt16 board, std::unique_ptr<line_end> end, line_settings configured)
    : board(board), name("ASRL" + std::to_string(board) + "::INSTR"), configured(configured),
      end(std::move(end)), values(initial_values(on_instr, true))
{}

bool port::accessible_by(ViSession vi) const
{
    if (exclusive_owner && exclusive_owner != vi)
        return false;
    if (!shared.empty() && !shared.count(vi) && exclusive_owner != vi)
        return false;
    return true;
}

ViAccessMode port::lock_state() const
{
    if (exclusive_owner)
        return VI_EXCLUSIVE_LOCK;
    if (!shared.empty())
        return VI_SHARED_LOCK;
    return VI_NO_LOCK;
}

line_settings port::host_line() const
{
    line_settings l;
    l.baud = static_cast<ViUInt32>(values.at(VI_ATTR_ASRL_BAUD));
    l.data_bits = static_cast<ViUInt16>(values.at(VI_ATTR_ASRL_DATA_BITS));
    l.parity = static_cast<ViUInt16>(values.at(VI_ATTR_ASRL_PARITY));
    l.stop_bits = static_cast<ViUInt16>(values.at(VI_ATTR_ASRL_STOP_BITS));
    return l;
}

ViUInt32 port::available(clock::time_point now) const
{
    ViUInt32 n = 0;
    for (const auto& b : rx) {
        if (b.at > now)
            break;
        ++n;
    }
    return n;
}

void port::arrive(std::string_view bytes, clock::time_point at)
{
    for (char c : bytes)
        rx.push_back({at, static_cast<unsigned char>(c)});
    note_arrival(*this, bytes, at);
    cv.notify_all();
}

void port::discard_received(clock::time_point now)
{
    while (!rx.empty() && rx.front().at <= now)
        rx.pop_front();
}

ViStatus port::reset()
{
    values = initial_values(on_instr, true);
    rx.clear();
    line_lost = false;
    return end->connect(*this);
}

// ---- The table of ports -------------------------------------------------------------------

namespace {

struct port_table {
    std::mutex m;
    bool loaded = false;
    bool failed = false;
    std::map<ViUInt16, std::shared_ptr<port>> configured;
    std::map<std::pair<ViUInt16, std::string>, std::shared_ptr<port>> simulated;
    std::map<ViUInt16, std::shared_ptr<port>> machine;  // COM ports no configuration names
};

port_table& ports()
{
    static port_table t;
    return t;
}

bool in_use(port& p)
{
    std::lock_guard lock(p.m);
    return std::any_of(p.sessions.begin(), p.sessions.end(),
                       [](const std::weak_ptr<instr_session>& w) { return !w.expired(); });
}

std::shared_ptr<port> make_port(const port_config& c)
{
    std::unique_ptr<line_end> end;
    if (!c.com.empty())
        end = std::make_unique<comm_line>(c.com, c.service_request_byte);
    else
        end = std::make_unique<simulated_line>(c.device_file);
    return std::make_shared<port>(c.board, std::move(end), c.line);
}

// Caller holds the table lock.
ViStatus load_locked(port_table& t, const char* path)
{
    std::vector<port_config> config;
    std::string message;
    ViStatus status = read_configuration(path ? std::string(path) : default_configuration_path(),
                                         config, message);
    t.loaded = true;
    t.failed = status < 0;
    if (status < 0) {
        report_message(message);
        return status;
    }
    std::map<ViUInt16, std::shared_ptr<port>> next;
    for (const auto& c : config) {
        auto old = t.configured.find(c.board);
        if (old != t.configured.end() && in_use(*old->second))
            next[c.board] = old->second;
        else
            next[c.board] = make_port(c);
    }
    for (auto& [board, p] : t.configured)
        if (!next.count(board) && in_use(*p))
            next[board] = p;
    t.configured = std::move(next);
    return VI_SUCCESS;
}

port_table& loaded_ports()
{
    auto& t = ports();
    if (!t.loaded)
        load_locked(t, nullptr);
    return t;
}

}  // namespace

std::shared_ptr<port> configured_port(ViUInt16 board)
{
    auto& t = ports();
    std::lock_guard lock(t.m);
    auto& l = loaded_ports();
    auto it = l.configured.find(board);
    return it == l.configured.end() ? nullptr : it->second;
}

std::shared_ptr<port> machine_port(ViUInt16 board)
{
    auto& t = ports();
    std::lock_guard lock(t.m);
    auto& p = t.machine[board];
    if (!p) {
        port_config c;
        c.board = board;
        c.com = "COM" + std::to_string(board);
        p = make_port(c);
    }
    return p;
}

std::vector<std::string> configured_resources()
{
    auto& t = ports();
    std::lock_guard lock(t.m);
    std::vector<std::string> out;
    for (const auto& [board, p] : loaded_ports().configured)
        out.push_back(p->name);
    return out;
}

std::shared_ptr<port> simulation_port(ViUInt16 board, const std::string& device_file)
{
    auto& t = ports();
    std::lock_guard lock(t.m);
    auto& p = t.simulated[{board, device_file}];
    if (!p)
        p = std::make_shared<port>(board, std::make_unique<simulated_line>(device_file),
                                   line_settings{});
    return p;
}

ViStatus load_configuration(const char* path)
{
    auto& t = ports();
    std::lock_guard lock(t.m);
    return load_locked(t, path);
}

bool configuration_loaded()
{
    auto& t = ports();
    std::lock_guard lock(t.m);
    return !loaded_ports().failed;
}

}  // namespace simvisa
