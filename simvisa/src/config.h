// The library's configuration file: which ports exist and which device each one plays.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device_model.h"
#include "visa.h"

namespace simvisa {

struct port_config {
    ViUInt16 board = 0;
    std::string device_file;  // absolute, or empty when nothing is connected
    std::string com;          // a serial port of the machine ("COM5") in place of a device
    // The byte a 488.2-style instrument on `com` sends unprompted to request service.
    std::optional<unsigned char> service_request_byte;
    line_settings line;  // applied by viOpen with VI_LOAD_CONFIG
};

// The file named by the environment variable SIMVISA_CONFIG, else simvisa\simvisa.json in the
// library's folder or the nearest folder above it that has one.
std::string default_configuration_path();

// VI_SUCCESS, or VI_ERROR_FILE_ACCESS / VI_ERROR_FILE_IO with "file:line:column: path: what"
// (see located_message) in message.
ViStatus read_configuration(const std::string& path, std::vector<port_config>& out,
                            std::string& message);

// A device file named in a configuration or a simulation block: absolute paths as they are,
// relative ones against `base` (a folder with a trailing separator).
std::string resolve_path(const std::string& file, const std::string& base);

}  // namespace simvisa
