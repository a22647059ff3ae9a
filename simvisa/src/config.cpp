#include "config.h"

#include <windows.h>

#include <set>

#include "json_reader.h"
#include "module.h"

namespace simvisa {
namespace {

unsigned char service_request_byte(const json_value& v)
{
    v.as_object("service_request");
    only_members(v, {"byte"}, "service_request");
    const json_value& b = required(v, "byte", "service_request");
    const int64_t n = b.as_integer("byte");
    if (n < 0 || n > 0xFF)
        throw json_error(b, "byte must be 0 to 255");
    return static_cast<unsigned char>(n);
}

}  // namespace

std::string default_configuration_path()
{
    char env[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableA("SIMVISA_CONFIG", env, sizeof env);
    if (n > 0 && n < sizeof env)
        return std::string(env, n);
    // The library's own folder, else the nearest folder above it (the loader-test variants
    // live in subfolders of the folder that holds the configuration).
    std::string folder = module_folder();
    for (;;) {
        std::string candidate = folder + "simvisa\\simvisa.json";
        if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES)
            return candidate;
        size_t slash = folder.find_last_of("\\/", folder.size() - 2);
        if (folder.size() < 2 || slash == std::string::npos)
            break;
        folder.resize(slash + 1);
    }
    return module_folder() + "simvisa\\simvisa.json";
}

std::string resolve_path(const std::string& file, const std::string& base)
{
    bool absolute = (file.size() > 1 && file[1] == ':') ||
                    (!file.empty() && (file[0] == '\\' || file[0] == '/'));
    return absolute ? file : base + file;
}

ViStatus read_configuration(const std::string& path, std::vector<port_config>& out,
                            std::string& message)
{
    std::string text;
    if (!read_json_file(path, "configuration file", text, message))
        return VI_ERROR_FILE_ACCESS;
    const size_t slash = path.find_last_of("\\/");
    const std::string base = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    json_value root;
    try {
        root = parse_json(text);
        root.as_object("the configuration");
        for (const auto& [key, value] : root.members)
            if (key != "ports" && key != "comment")
                throw json_error(value, "unknown member " + quoted(key) + " in the configuration");
        const json_value* ports = root.find("ports");
        if (!ports)
            throw json_error(root, "the configuration needs \"ports\"");
        std::set<ViUInt16> seen;
        for (const auto& item : ports->as_array("ports")) {
            item.as_object("a port");
            port_config c;
            const json_value* number = item.find("number");
            if (!number)
                throw json_error(item, "a port needs \"number\"");
            int64_t n = number->as_integer("number");
            if (n < 0 || n > 0xFFFF)
                throw json_error(*number, "number must be 0 to 65535");
            c.board = static_cast<ViUInt16>(n);
            if (!seen.insert(c.board).second)
                throw json_error(*number, "port " + std::to_string(n) + " is declared twice");
            for (const auto& [key, value] : item.members) {
                if (key == "number")
                    continue;
                if (key == "device")
                    c.device_file = resolve_path(value.as_string("device"), base);
                else if (key == "com")
                    c.com = value.as_string("com");
                else if (key == "service_request")
                    c.service_request_byte = service_request_byte(value);
                else if (key == "line")
                    read_line_settings(value, c.line);
                else
                    throw json_error(value, "unknown member " + quoted(key) + " in a port");
            }
            if (!c.com.empty() && !c.device_file.empty())
                throw json_error(item, "a port has a \"device\" or a \"com\", not both");
            if (c.service_request_byte && c.com.empty())
                throw json_error(item, "\"service_request\" needs a \"com\" port");
            out.push_back(std::move(c));
        }
    } catch (const json_error& e) {
        message = located_message(path, e, root);
        return VI_ERROR_FILE_IO;
    }
    return VI_SUCCESS;
}

}  // namespace simvisa
