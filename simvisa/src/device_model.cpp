#include "device_model.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>

#include "json_reader.h"

namespace simvisa {
namespace {

unsigned delay_of(const json_value& obj)
{
    const json_value* d = obj.find("delay_ms");
    if (!d)
        return 0;
    int64_t v = d->as_integer("delay_ms");
    if (v < 0 || v > 600000)
        throw json_error(*d, "delay_ms must be 0 to 600000");
    return static_cast<unsigned>(v);
}

}  // namespace

bool same_text(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool parse_number(const std::string& s, bool integer, double& out)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    if (integer) {
        long long v = std::strtoll(s.c_str(), &end, 10);
        out = static_cast<double>(v);
    } else {
        out = std::strtod(s.c_str(), &end);
    }
    return end && *end == '\0';
}

int property_value_error(const property_model& p, const std::string& value, std::string& stored)
{
    if (!p.choices.empty()) {
        auto it = std::find_if(p.choices.begin(), p.choices.end(),
                               [&](const std::string& c) { return same_text(c, value); });
        if (it == p.choices.end())
            return -224;
        stored = *it;
        return 0;
    }
    if (p.type != property_model::kind::text) {
        double v;
        if (!parse_number(value, p.type == property_model::kind::integer, v))
            return -104;
        if ((p.has_min && v < p.min) || (p.has_max && v > p.max))
            return -222;
    }
    stored = value;
    return 0;
}

void read_line_settings(const json_value& j, line_settings& line)
{
    j.as_object("line");
    only_members(j, {"baud", "data_bits", "parity", "stop_bits"}, "line");
    if (const json_value* v = j.find("baud")) {
        int64_t b = v->as_integer("baud");
        if (b < 1 || b > 0xFFFFFFFFLL)
            throw json_error(*v, "baud must be a positive rate");
        line.baud = static_cast<ViUInt32>(b);
    }
    if (const json_value* v = j.find("data_bits")) {
        int64_t d = v->as_integer("data_bits");
        if (d < 5 || d > 8)
            throw json_error(*v, "data_bits must be 5 to 8");
        line.data_bits = static_cast<ViUInt16>(d);
    }
    if (const json_value* v = j.find("parity")) {
        static const char* names[] = {"none", "odd", "even", "mark", "space"};
        const std::string& p = v->as_string("parity");
        bool found = false;
        for (ViUInt16 i = 0; i < 5; ++i)
            if (p == names[i]) {
                line.parity = i;
                found = true;
            }
        if (!found)
            throw json_error(*v, "parity must be none, odd, even, mark or space");
    }
    if (const json_value* v = j.find("stop_bits")) {
        double s = v->as_number("stop_bits");
        if (s == 1)
            line.stop_bits = VI_ASRL_STOP_ONE;
        else if (s == 1.5)
            line.stop_bits = VI_ASRL_STOP_ONE5;
        else if (s == 2)
            line.stop_bits = VI_ASRL_STOP_TWO;
        else
            throw json_error(*v, "stop_bits must be 1, 1.5 or 2");
    }
}

namespace {

std::string terminator(const json_value& v, const char* what)
{
    const std::string& t = v.as_string(what);
    if (t.empty())
        throw json_error(v, std::string(what) + " must not be empty");
    return t;
}

property_model read_property(const json_value& j)
{
    j.as_object("a property");
    only_members(j, {"name", "get", "set", "default", "type", "min", "max", "choices"},
                 "a property");
    property_model p;
    p.name = required(j, "name", "a property").as_string("name");
    if (const json_value* v = j.find("get"))
        p.get = v->as_string("get");
    if (const json_value* v = j.find("set"))
        p.set = v->as_string("set");
    if (p.get.empty() && p.set.empty())
        throw json_error(j, "property " + quoted(p.name) + " needs \"get\" or \"set\"");
    if (const json_value* v = j.find("type")) {
        const std::string& t = v->as_string("type");
        if (t == "text")
            p.type = property_model::kind::text;
        else if (t == "integer")
            p.type = property_model::kind::integer;
        else if (t == "real")
            p.type = property_model::kind::real;
        else
            throw json_error(*v, "type must be text, integer or real");
    }
    if (const json_value* v = j.find("min")) {
        p.has_min = true;
        p.min = v->as_number("min");
    }
    if (const json_value* v = j.find("max")) {
        p.has_max = true;
        p.max = v->as_number("max");
    }
    if (const json_value* v = j.find("choices")) {
        for (const auto& c : v->as_array("choices"))
            p.choices.push_back(c.as_string("a choice"));
        if (p.choices.empty())
            throw json_error(*v, "choices must not be empty");
    }
    const json_value& d = required(j, "default", "a property");
    if (d.is(json_value::kind::number)) {
        std::ostringstream s;
        s << d.number;
        p.initial = s.str();
    } else {
        p.initial = d.as_string("default");
    }
    if ((p.has_min || p.has_max) && p.type == property_model::kind::text)
        throw json_error(j, "property " + quoted(p.name) + ": min and max need a numeric type");
    if (p.has_min && p.has_max && p.min > p.max)
        throw json_error(*j.find("min"), "min must not be above max");
    std::string stored;
    switch (property_value_error(p, p.initial, stored)) {
    case 0:
        p.initial = stored;
        return p;
    case -224:
        throw json_error(d, "default " + quoted(p.initial) + " is not one of the choices");
    case -104:
        throw json_error(d, "default " + quoted(p.initial) + " is not a number of its type");
    default:
        throw json_error(d, "default " + quoted(p.initial) + " is outside min and max");
    }
}

device_model read_device(const json_value& root)
{
    root.as_object("the device description");
    only_members(root,
                 {"name", "identity", "line", "terminators", "dialogues", "properties",
                  "error_queue", "trigger", "modem"},
                 "the device description");
    device_model d;
    d.name = required(root, "name", "the device description").as_string("name");
    if (const json_value* v = root.find("identity"))
        d.identity = v->as_string("identity");
    if (const json_value* v = root.find("line"))
        read_line_settings(*v, d.line);
    if (const json_value* v = root.find("terminators")) {
        v->as_object("terminators");
        only_members(*v, {"input", "output"}, "terminators");
        if (const json_value* t = v->find("input"))
            d.input_terminator = terminator(*t, "input");
        if (const json_value* t = v->find("output"))
            d.output_terminator = terminator(*t, "output");
    }
    if (const json_value* v = root.find("dialogues")) {
        for (const auto& item : v->as_array("dialogues")) {
            item.as_object("a dialogue");
            only_members(item, {"query", "response", "delay_ms"}, "a dialogue");
            dialogue_model dlg;
            dlg.query = required(item, "query", "a dialogue").as_string("query");
            if (dlg.query.empty())
                throw json_error(item, "query must not be empty");
            if (const json_value* r = item.find("response"))
                dlg.response = r->as_string("response");
            dlg.delay_ms = delay_of(item);
            d.dialogues.push_back(std::move(dlg));
        }
    }
    if (const json_value* v = root.find("properties")) {
        std::set<std::string> names;
        for (const auto& item : v->as_array("properties")) {
            property_model p = read_property(item);
            if (!names.insert(p.name).second)
                throw json_error(item, "property " + quoted(p.name) + " is declared twice");
            d.properties.push_back(std::move(p));
        }
    }
    if (const json_value* v = root.find("error_queue")) {
        v->as_object("error_queue");
        only_members(*v, {"query", "size"}, "error_queue");
        if (const json_value* q = v->find("query"))
            d.error_query = q->as_string("query");
        if (const json_value* s = v->find("size")) {
            int64_t n = s->as_integer("size");
            if (n < 1 || n > 1000)
                throw json_error(*s, "size must be 1 to 1000");
            d.error_queue_size = static_cast<unsigned>(n);
        }
    }
    if (const json_value* v = root.find("trigger")) {
        v->as_object("trigger");
        only_members(*v, {"response", "delay_ms"}, "trigger");
        if (const json_value* r = v->find("response"))
            d.trigger_response = r->as_string("response");
        d.trigger_delay_ms = delay_of(*v);
    }
    if (const json_value* v = root.find("modem")) {
        v->as_object("modem");
        only_members(*v, {"cts", "dsr", "dcd", "ri"}, "modem");
        auto state = [&](const char* key, ViInt16& out) {
            if (const json_value* s = v->find(key)) {
                int64_t n = s->as_integer(key);
                if (n < -1 || n > 1)
                    throw json_error(*s, std::string(key) + " must be -1, 0 or 1");
                out = static_cast<ViInt16>(n);
            }
        };
        state("cts", d.cts);
        state("dsr", d.dsr);
        state("dcd", d.dcd);
        state("ri", d.ri);
    }
    return d;
}

}  // namespace

device_model load_device_file(const std::string& path)
{
    std::string text, message;
    if (!read_json_file(path, "device file", text, message))
        throw device_file_error(VI_ERROR_FILE_ACCESS, message);
    json_value root;
    try {
        root = parse_json(text);
        device_model d = read_device(root);
        d.file = path;
        return d;
    } catch (const json_error& e) {
        throw device_file_error(VI_ERROR_FILE_IO, located_message(path, e, root));
    }
}

}  // namespace simvisa
