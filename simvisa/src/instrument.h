// The behaviour of one simulated instrument: it takes the bytes that arrive on its serial line,
// splits them into messages at its input terminator and answers them from its description
// (dialogues, properties, error queue, IEEE 488.2 common commands, status byte).
#pragma once

#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "device_model.h"

namespace simvisa {

class instrument {
public:
    explicit instrument(device_model model);

    struct reply {
        std::string bytes;  // the response with the output terminator
        unsigned delay_ms = 0;
    };

    // Bytes from the line; returns the replies of the messages they complete.
    std::vector<reply> receive(std::string_view bytes);
    // A break after data ends the message being received.
    std::vector<reply> end_of_message();
    // Device clear: the partial message is dropped.
    void clear();

    ViUInt8 status_byte() const;
    // True once for each rise of the request-service bit.
    bool take_service_request();

    const device_model& model() const { return model_; }

private:
    device_model model_;
    std::string input_;
    std::map<std::string, std::string> values_;  // property values by name
    std::deque<std::string> errors_;             // "code,\"text\""
    ViUInt8 esr_ = 0, ese_ = 0, sre_ = 0;
    bool rqs_ = false, srq_pending_ = false;

    void message(std::string text, std::vector<reply>& out);
    // One command; returns true with `response` set when it answers.
    bool command(const std::string& cmd, std::string& response, unsigned& delay);
    void push_error(int code, const char* text);
    void update_service_request();
};

}  // namespace simvisa
