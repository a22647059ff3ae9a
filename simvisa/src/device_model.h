// A simulated instrument as its description file declares it.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "visa.h"

namespace simvisa {

// Serial framing of one side of the cable.
struct line_settings {
    ViUInt32 baud = 9600;
    ViUInt16 data_bits = 8;
    ViUInt16 parity = VI_ASRL_PAR_NONE;
    ViUInt16 stop_bits = VI_ASRL_STOP_ONE;

    bool operator==(const line_settings&) const = default;
};

struct dialogue_model {
    std::string query;     // matched without regard to case
    std::string response;  // empty: a command that answers nothing
    unsigned delay_ms = 0;
};

struct property_model {
    enum class kind { text, integer, real };
    std::string name;
    std::string get;  // query that answers the value
    std::string set;  // command followed by a blank and the new value
    std::string initial;
    kind type = kind::text;
    bool has_min = false, has_max = false;
    double min = 0, max = 0;
    std::vector<std::string> choices;
};

struct device_model {
    std::string file;
    std::string name;
    std::string identity;  // the *IDN? answer
    line_settings line;
    std::string input_terminator = "\n";
    std::string output_terminator = "\n";
    std::vector<dialogue_model> dialogues;
    std::vector<property_model> properties;
    std::string error_query = "SYST:ERR?";
    unsigned error_queue_size = 10;
    std::string trigger_response;
    unsigned trigger_delay_ms = 0;
    ViInt16 cts = 1, dsr = 1, dcd = 1, ri = 0;
};

// "file:line:column: path: what" (see located_message) for a description file that cannot be
// used, "file: what" for one that cannot be read.
struct device_file_error : std::runtime_error {
    device_file_error(ViStatus status, const std::string& what)
        : std::runtime_error(what), status(status)
    {}
    ViStatus status;  // VI_ERROR_FILE_ACCESS (cannot open) or VI_ERROR_FILE_IO (malformed)
};

device_model load_device_file(const std::string& path);

// Texts equal without regard to case, as a device matches commands and choices.
bool same_text(std::string_view a, std::string_view b);
// A whole text as a number (a decimal integer when `integer`).
bool parse_number(const std::string& s, bool integer, double& out);
// Whether the property takes `value` (its default, or a value its set command sends): 0, or the
// SCPI error that refuses it: -224 not one of the choices, -104 not a number of its type, -222
// outside min and max. `stored` is the value as kept (a choice as the file writes it).
int property_value_error(const property_model& p, const std::string& value, std::string& stored);

class json_value;
// Reads a "line" object (baud, data_bits, parity, stop_bits) into `line`; raises json_error.
void read_line_settings(const json_value& j, line_settings& line);

}  // namespace simvisa
