// viGetAttribute and viSetAttribute on sessions, resource managers, find lists and event
// contexts.
#include <windows.h>

#include <cstring>
#include <optional>

#include "api_frame.h"
#include "port.h"
#include "session_access.h"

using namespace simvisa;

namespace {

const char* const manufacturer = "SimVISA simulation library";

void put_text(void* out, const std::string& s)
{
    size_t n = std::min<size_t>(s.size(), 255);
    std::memcpy(out, s.data(), n);
    static_cast<char*>(out)[n] = '\0';
}

ViStatus get_session_attr(instr_session& s, const attr_def& def, void* out)
{
    port& p = *s.port;
    if (def.computed) {
        if (def.type == attr_type::text) {
            std::string v;
            switch (def.id) {
            case VI_ATTR_RSRC_NAME:
                v = p.name;
                break;
            case VI_ATTR_RSRC_CLASS:
                v = "INSTR";
                break;
            case VI_ATTR_RSRC_MANF_NAME:
                v = manufacturer;
                break;
            default: {
                std::lock_guard lock(p.m);
                v = p.end->description(p);
            }
            }
            put_text(out, v);
            return VI_SUCCESS;
        }
        int64_t v = 0;
        switch (def.id) {
        case VI_ATTR_RM_SESSION:
            v = s.rm;
            break;
        case VI_ATTR_INTF_NUM:
            v = p.board;
            break;
        default: {
            std::lock_guard lock(p.m);
            if (def.id == VI_ATTR_RSRC_LOCK_STATE)
                v = p.lock_state();
            else if (def.id == VI_ATTR_ASRL_AVAIL_NUM)
                v = p.available(clock::now());
            else
                v = p.end->modem_line(p, def.id);
        }
        }
        store_value(out, def.type, v);
        return VI_SUCCESS;
    }
    int64_t v;
    if (def.global) {
        std::lock_guard lock(p.m);
        v = p.values.at(def.id);
    } else {
        std::lock_guard lock(s.m);
        v = s.values.at(def.id);
    }
    store_value(out, def.type, v);
    return VI_SUCCESS;
}

ViStatus set_session_attr(instr_session& s, const attr_def& def, int64_t v)
{
    if (def.id == VI_ATTR_MAX_QUEUE_LENGTH) {
        std::lock_guard lock(s.ev_m);
        if (s.events_enabled_once)
            return VI_ERROR_ATTR_READONLY;
        s.max_queue = static_cast<ViUInt32>(v);
    }
    // The flow-control characters belong to the session, but a port's line has one pair: the
    // last set wins there.
    const bool line_char = def.id == VI_ATTR_ASRL_XON_CHAR || def.id == VI_ATTR_ASRL_XOFF_CHAR;
    if (def.global || line_char) {
        port& p = *s.port;
        std::lock_guard lock(p.m);
        if (def.global && !p.accessible_by(s.id))
            return VI_ERROR_RSRC_LOCKED;
        auto it = p.values.find(def.id);
        const std::optional<int64_t> old =
            it == p.values.end() ? std::nullopt : std::optional<int64_t>(it->second);
        p.values[def.id] = v;
        if (ViStatus st = p.end->apply(p); st < 0) {
            if (old)
                p.values[def.id] = *old;
            else
                p.values.erase(def.id);
            return st;
        }
        p.cv.notify_all();
        if (def.global)
            return VI_SUCCESS;
    }
    std::lock_guard lock(s.m);
    s.values[def.id] = v;
    return VI_SUCCESS;
}

ViStatus get_rm_attr(rm_session& r, const attr_def& def, void* out)
{
    if (def.type == attr_type::text) {
        put_text(out, def.id == VI_ATTR_RSRC_MANF_NAME ? manufacturer : "");
        return VI_SUCCESS;
    }
    int64_t v = 0;  // computed ones: no lock state, no parent resource manager
    if (!def.computed) {
        std::lock_guard lock(r.m);
        v = r.values.at(def.id);
    }
    store_value(out, def.type, v);
    return VI_SUCCESS;
}

ViStatus get_event_attr(event_context& c, ViAttr attr, void* out)
{
    auto it = c.data.attrs.find(attr);
    if (it == c.data.attrs.end())
        return VI_ERROR_NSUP_ATTR;
    const event_attr& a = it->second;
    if (a.is_text)
        put_text(out, a.bytes);
    else if (a.is_data)
        std::memcpy(out, a.bytes.data(), a.bytes.size());
    else
        std::memcpy(out, &a.value, std::min<size_t>(a.size, sizeof a.value));
    return VI_SUCCESS;
}

ViStatus get_attribute(ViObject vi, ViAttr attr, void* out)
{
    auto obj = find_object(vi);
    if (!obj)
        return VI_ERROR_INV_OBJECT;
    if (auto c = std::dynamic_pointer_cast<event_context>(obj)) {
        if (!out)
            return VI_ERROR_INV_PARAMETER;
        return get_event_attr(*c, attr, out);
    }
    if (auto r = std::dynamic_pointer_cast<rm_session>(obj)) {
        const attr_def* def = find_attr(attr, on_rm);
        if (!def)
            return VI_ERROR_NSUP_ATTR;
        if (!out)
            return VI_ERROR_INV_PARAMETER;
        return get_rm_attr(*r, *def, out);
    }
    if (auto s = std::dynamic_pointer_cast<instr_session>(obj)) {
        const attr_def* def = find_attr(attr, on_instr);
        if (!def)
            return VI_ERROR_NSUP_ATTR;
        if (!out)
            return VI_ERROR_INV_PARAMETER;
        return get_session_attr(*s, *def, out);
    }
    return VI_ERROR_NSUP_ATTR;  // find lists carry no attributes
}

ViStatus set_attribute(ViObject vi, ViAttr attr, ViAttrState value)
{
    auto obj = find_object(vi);
    if (!obj)
        return VI_ERROR_INV_OBJECT;
    if (auto c = std::dynamic_pointer_cast<event_context>(obj))
        return c->data.attrs.count(attr) ? VI_ERROR_ATTR_READONLY : VI_ERROR_NSUP_ATTR;
    const bool is_rm = std::dynamic_pointer_cast<rm_session>(obj) != nullptr;
    auto s = std::dynamic_pointer_cast<instr_session>(obj);
    if (!is_rm && !s)
        return VI_ERROR_NSUP_ATTR;
    const attr_def* def = find_attr(attr, is_rm ? on_rm : on_instr);
    if (!def)
        return VI_ERROR_NSUP_ATTR;
    if (!def->writable)
        return VI_ERROR_ATTR_READONLY;
    const int64_t v = narrow(def->type, value);
    if (!valid_value(*def, v))
        return VI_ERROR_NSUP_ATTR_STATE;
    if (s)
        return set_session_attr(*s, *def, v);
    auto r = std::static_pointer_cast<rm_session>(obj);
    std::lock_guard lock(r->m);
    r->values[def->id] = v;
    return VI_SUCCESS;
}

// Whether `attr` of object `vi` holds text, so that a set passes the address of the text. An
// attribute the object does not know is taken as text when its identifier says so (VISA
// gives the identifiers of non-numeric attributes the top bit).
bool string_attribute(ViObject vi, ViAttr attr)
{
    auto obj = find_object(vi);
    if (auto c = std::dynamic_pointer_cast<event_context>(obj)) {
        auto it = c->data.attrs.find(attr);
        if (it != c->data.attrs.end())
            return it->second.is_text;
    } else if (obj && !std::dynamic_pointer_cast<find_list>(obj)) {
        const bool is_rm = std::dynamic_pointer_cast<rm_session>(obj) != nullptr;
        if (const attr_def* def = find_attr(attr, is_rm ? on_rm : on_instr))
            return def->type == attr_type::text;
    }
    return (attr & 0x80000000u) != 0;
}

// The text at `address`, up to its NUL or one byte past what the log shows, when that memory
// can be read: the caller's value may be any number.
bool readable_text(ViAttrState address, std::string& out)
{
    constexpr size_t limit = 257;
    constexpr DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                               PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    const auto* p = reinterpret_cast<const char*>(static_cast<uintptr_t>(address));
    out.clear();
    while (out.size() < limit) {
        MEMORY_BASIC_INFORMATION mbi;
        if (!VirtualQuery(p, &mbi, sizeof mbi) || mbi.State != MEM_COMMIT ||
            !(mbi.Protect & readable) || (mbi.Protect & PAGE_GUARD))
            return false;
        const char* end = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
        for (; p < end && out.size() < limit; ++p) {
            if (!*p)
                return true;
            out += *p;
        }
    }
    return true;
}

// The value of a set as the call log shows it: the text of a string attribute, else the number.
std::string logged_value(ViObject vi, ViAttr attr, ViAttrState value)
{
    std::string t;
    if (value && string_attribute(vi, attr) && readable_text(value, t))
        return bytes(t.data(), static_cast<uint32_t>(t.size()));
    return num(value);
}

}  // namespace

namespace simvisa {
int64_t local_value(instr_session& s, ViAttr attr)
{
    std::lock_guard lock(s.m);
    return s.values.at(attr);
}
}  // namespace simvisa

extern "C" {

ViStatus _VI_FUNC viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue)
{
    return api_call("viGetAttribute",
                    {{"vi", num(vi)}, {"attrName", hex(attrName)}, {"attrValue", ptr(attrValue)}},
                    [&] { return get_attribute(vi, attrName, attrValue); });
}

ViStatus _VI_FUNC viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue)
{
    return api_call("viSetAttribute",
                    {{"vi", num(vi)},
                     {"attrName", hex(attrName)},
                     {"attrValue", logged_value(vi, attrName, attrValue)}},
                    [&] { return set_attribute(vi, attrName, attrValue); });
}

}  // extern "C"
