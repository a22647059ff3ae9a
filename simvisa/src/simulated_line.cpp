#include "simulated_line.h"

#include <algorithm>

#include "port.h"

namespace simvisa {
namespace {

// What a receiver makes of bytes sent with other framing: a deterministic scramble.
std::string garble(std::string_view bytes)
{
    std::string out(bytes);
    for (char& c : out)
        c = static_cast<char>((static_cast<unsigned char>(c) * 37u + 101u) ^ 0xA5u);
    return out;
}

}  // namespace

ViStatus simulated_line::connect(port& p)
{
    if (!device_ && !device_file_.empty())
        device_ = std::make_unique<instrument>(load_device_file(device_file_));
    // Nothing drives the lines of a port without a device.
    ViInt16 cts = VI_STATE_UNASSERTED, dsr = cts, dcd = cts, ri = cts;
    if (device_) {
        device_->clear();
        const device_model& d = device_->model();
        cts = d.cts, dsr = d.dsr, dcd = d.dcd, ri = d.ri;
    }
    p.modem_lines = {{VI_ATTR_ASRL_CTS_STATE, cts},
                     {VI_ATTR_ASRL_DSR_STATE, dsr},
                     {VI_ATTR_ASRL_DCD_STATE, dcd},
                     {VI_ATTR_ASRL_RI_STATE, ri}};
    return VI_SUCCESS;
}

ViStatus simulated_line::transmit(port& p, std::unique_lock<std::mutex>&, std::string_view bytes,
                                  ViUInt32, bool& service_request)
{
    // The simulated line takes bytes at once.
    if (!device_)
        return VI_SUCCESS;
    const bool matched = p.host_line() == device_->model().line;
    service_request =
        schedule(p, device_->receive(matched ? std::string(bytes) : garble(bytes)), clock::now());
    return VI_SUCCESS;
}

ViStatus simulated_line::send_break(port& p, std::unique_lock<std::mutex>&, bool device_clear,
                                    bool& service_request)
{
    if (!device_)
        return VI_SUCCESS;
    const auto now = clock::now();
    if (device_clear) {
        // The device drops its partial message and the replies still on their way.
        device_->clear();
        p.rx.erase(std::remove_if(p.rx.begin(), p.rx.end(),
                                  [&](const port::rx_byte& b) { return b.at > now; }),
                   p.rx.end());
        p.cv.notify_all();
        return VI_SUCCESS;
    }
    service_request = schedule(p, device_->end_of_message(), now);
    return VI_SUCCESS;
}

bool simulated_line::schedule(port& p, const std::vector<instrument::reply>& replies,
                              clock::time_point now)
{
    const bool matched = p.host_line() == device_->model().line;
    for (const auto& r : replies) {
        // Replies keep their order on the line: none overtakes an earlier one.
        clock::time_point at = now + std::chrono::milliseconds(r.delay_ms);
        if (!p.rx.empty())
            at = std::max(at, p.rx.back().at);
        p.arrive(matched ? r.bytes : garble(r.bytes), at);
    }
    return device_->take_service_request();
}

ViInt16 simulated_line::modem_line(const port& p, ViAttr line) const
{
    return p.modem_lines.at(line);
}

std::string simulated_line::description(const port& p) const
{
    std::string text = "Simulated serial port " + std::to_string(p.board);
    if (device_)
        text += " (" + device_->model().name + ")";
    return text;
}

}  // namespace simvisa
