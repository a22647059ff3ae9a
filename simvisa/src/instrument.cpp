#include "instrument.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace simvisa {
namespace {

constexpr size_t max_input = 4096;

std::string trim(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return std::string(s.substr(b, e - b));
}

bool parse_byte(const std::string& s, ViUInt8& out)
{
    double v;
    if (!parse_number(s, true, v) || v < 0 || v > 255)
        return false;
    out = static_cast<ViUInt8>(v);
    return true;
}

}  // namespace

instrument::instrument(device_model model) : model_(std::move(model))
{
    for (const auto& p : model_.properties)
        values_[p.name] = p.initial;
}

std::vector<instrument::reply> instrument::receive(std::string_view bytes)
{
    std::vector<reply> out;
    const std::string& term = model_.input_terminator;
    // A message ends at the terminator's last character; the rest of the terminator, when it
    // is there, is stripped (so a CR LF device also takes a bare LF).
    const char last = term.back();
    const std::string_view head(term.data(), term.size() - 1);
    for (char c : bytes) {
        if (c != last) {
            input_ += c;
            if (input_.size() > max_input) {
                input_.clear();
                push_error(-363, "Input buffer overrun");
            }
            continue;
        }
        std::string text = std::move(input_);
        input_.clear();
        if (!head.empty() && text.size() >= head.size() &&
            std::string_view(text).substr(text.size() - head.size()) == head)
            text.resize(text.size() - head.size());
        message(std::move(text), out);
    }
    return out;
}

std::vector<instrument::reply> instrument::end_of_message()
{
    std::vector<reply> out;
    if (!input_.empty()) {
        std::string text = std::move(input_);
        input_.clear();
        message(std::move(text), out);
    }
    return out;
}

void instrument::clear()
{
    input_.clear();
}

void instrument::message(std::string text, std::vector<reply>& out)
{
    // Commands separated by ';' form one message; their answers go back as one response.
    std::string response;
    bool answered = false;
    unsigned delay = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        std::string cmd = trim(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (cmd.empty())
            continue;
        std::string one;
        unsigned d = 0;
        if (command(cmd, one, d)) {
            if (answered)
                response += ';';
            response += one;
            answered = true;
            delay = std::max(delay, d);
        }
    }
    update_service_request();
    if (answered)
        out.push_back({response + model_.output_terminator, delay});
}

bool instrument::command(const std::string& cmd, std::string& response, unsigned& delay)
{
    for (const auto& d : model_.dialogues) {
        if (!same_text(cmd, d.query))
            continue;
        delay = d.delay_ms;
        response = d.response;
        return !d.response.empty();
    }

    const size_t blank = cmd.find_first_of(" \t");
    const std::string header = cmd.substr(0, blank);
    const std::string arg = blank == std::string::npos ? std::string() : trim(cmd.substr(blank));

    for (const auto& p : model_.properties) {
        if (!p.get.empty() && same_text(cmd, p.get)) {
            response = values_[p.name];
            return true;
        }
        if (p.set.empty() || !same_text(header, p.set))
            continue;
        if (arg.empty()) {
            push_error(-109, "Missing parameter");
            return false;
        }
        std::string stored;
        switch (property_value_error(p, arg, stored)) {
        case 0:
            values_[p.name] = stored;
            break;
        case -224:
            push_error(-224, "Illegal parameter value");
            break;
        case -104:
            push_error(-104, "Data type error");
            break;
        default:
            push_error(-222, "Data out of range");
        }
        return false;
    }

    if (same_text(cmd, model_.error_query)) {
        if (errors_.empty()) {
            response = "+0,\"No error\"";
        } else {
            response = errors_.front();
            errors_.pop_front();
        }
        return true;
    }

    // IEEE 488.2 common commands.
    auto is = [&](const char* name) { return same_text(header, name); };
    if (is("*IDN?") && arg.empty() && !model_.identity.empty()) {
        response = model_.identity;
        return true;
    }
    if (is("*RST") && arg.empty()) {
        for (const auto& p : model_.properties)
            values_[p.name] = p.initial;
        return false;
    }
    if (is("*CLS") && arg.empty()) {
        errors_.clear();
        esr_ = 0;
        return false;
    }
    if (is("*STB?") && arg.empty()) {
        response = std::to_string(status_byte());
        return true;
    }
    if (is("*ESR?") && arg.empty()) {
        response = std::to_string(esr_);
        esr_ = 0;
        return true;
    }
    if (is("*ESE?") && arg.empty()) {
        response = std::to_string(ese_);
        return true;
    }
    if (is("*SRE?") && arg.empty()) {
        response = std::to_string(sre_);
        return true;
    }
    if (is("*ESE") || is("*SRE")) {
        ViUInt8 v;
        if (!parse_byte(arg, v))
            push_error(arg.empty() ? -109 : -222,
                       arg.empty() ? "Missing parameter" : "Data out of range");
        else
            (is("*ESE") ? ese_ : sre_) = v;
        return false;
    }
    if (is("*OPC") && arg.empty()) {
        esr_ |= 0x01;
        return false;
    }
    if (is("*OPC?") && arg.empty()) {
        response = "1";
        return true;
    }
    if (is("*WAI") && arg.empty())
        return false;
    if (is("*TRG") && arg.empty()) {
        delay = model_.trigger_delay_ms;
        response = model_.trigger_response;
        return !response.empty();
    }
    push_error(-113, "Undefined header");
    return false;
}

void instrument::push_error(int code, const char* text)
{
    std::string entry = std::to_string(code) + ",\"" + text + "\"";
    if (errors_.size() >= model_.error_queue_size)
        errors_.back() = "-350,\"Queue overflow\"";
    else
        errors_.push_back(std::move(entry));
    if (code <= -100 && code > -200)
        esr_ |= 0x20;  // command error
    else if (code <= -200 && code > -300)
        esr_ |= 0x10;  // execution error
    else if (code <= -300 && code > -400)
        esr_ |= 0x08;  // device-specific error
    else if (code <= -400 && code > -500)
        esr_ |= 0x04;  // query error
}

ViUInt8 instrument::status_byte() const
{
    ViUInt8 stb = 0;
    if (!errors_.empty())
        stb |= 0x04;
    if (esr_ & ese_)
        stb |= 0x20;
    if (stb & sre_ & ~0x40)
        stb |= 0x40;
    return stb;
}

void instrument::update_service_request()
{
    bool rqs = (status_byte() & 0x40) != 0;
    if (rqs && !rqs_)
        srq_pending_ = true;
    rqs_ = rqs;
}

bool instrument::take_service_request()
{
    bool pending = srq_pending_;
    srq_pending_ = false;
    return pending;
}

}  // namespace simvisa
