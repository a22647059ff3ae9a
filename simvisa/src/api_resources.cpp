// Resource manager, resource search and parsing, opening and closing objects, status texts.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "api_frame.h"
#include "async_io.h"
#include "comm_line.h"
#include "config.h"
#include "locks.h"
#include "message_io.h"
#include "module.h"
#include "port.h"
#include "resource_name.h"
#include "session_access.h"
#include "simulation_block.h"
#include "status_text.h"

using namespace simvisa;

namespace {

void copy_text(const std::string& s, ViChar* out)
{
    size_t n = std::min<size_t>(s.size(), VI_FIND_BUFLEN - 1);
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

void forget_child(ViSession rm, ViObject child)
{
    if (auto r = find<rm_session>(rm)) {
        std::lock_guard lock(r->m);
        r->children.erase(child);
    }
}

void close_session(const std::shared_ptr<instr_session>& s)
{
    s->closed = true;
    cancel_jobs(s);
    {
        std::lock_guard lock(s->ev_m);
        s->queue.clear();
        s->suspended.clear();
        s->handlers.clear();
        s->mechanisms.clear();
        s->ev_cv.notify_all();
    }
    release_all_locks(*s);
    bool last;
    {
        std::lock_guard lock(s->port->m);
        auto& list = s->port->sessions;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const std::weak_ptr<instr_session>& w) {
                                      auto o = w.lock();
                                      return !o || o == s;
                                  }),
                   list.end());
        last = list.empty();
    }
    if (last)
        s->port->end->disconnect(*s->port);
    for (ViObject ctx : contexts_of(s->id))
        take_object(ctx);
}

ViStatus close_object(ViObject vi)
{
    auto obj = take_object(vi);
    if (!obj)
        return VI_ERROR_INV_OBJECT;
    if (auto s = std::dynamic_pointer_cast<instr_session>(obj)) {
        close_session(s);
        forget_child(s->rm, vi);
    } else if (auto f = std::dynamic_pointer_cast<find_list>(obj)) {
        forget_child(f->rm, vi);
    } else if (auto r = std::dynamic_pointer_cast<rm_session>(obj)) {
        std::set<ViObject> children;
        {
            std::lock_guard lock(r->m);
            children.swap(r->children);
        }
        for (ViObject c : children)
            close_object(c);
    }
    return VI_SUCCESS;
}

// A simulation file named relative to the current folder, else to the library's own folder.
std::string simulation_file_path(const std::string& file)
{
    std::string here = resolve_path(file, std::string());
    if (GetFileAttributesA(here.c_str()) != INVALID_FILE_ATTRIBUTES)
        return here;
    return resolve_path(file, module_folder() + "simvisa\\");
}

// Puts a new session on its port: the first session of a port finds it in its initial state.
ViStatus attach_session(const std::shared_ptr<instr_session>& s, ViAccessMode mode)
{
    port& p = *s->port;
    std::lock_guard lock(p.m);
    p.sessions.erase(
        std::remove_if(p.sessions.begin(), p.sessions.end(),
                       [](const std::weak_ptr<instr_session>& w) { return w.expired(); }),
        p.sessions.end());
    if (p.sessions.empty()) {
        try {
            if (ViStatus st = p.reset(); st < 0)
                return st;
        } catch (const device_file_error& e) {
            report_message(e.what());
            return e.status;
        }
    }
    if (mode & VI_LOAD_CONFIG) {
        p.values[VI_ATTR_ASRL_BAUD] = p.configured.baud;
        p.values[VI_ATTR_ASRL_DATA_BITS] = p.configured.data_bits;
        p.values[VI_ATTR_ASRL_PARITY] = p.configured.parity;
        p.values[VI_ATTR_ASRL_STOP_BITS] = p.configured.stop_bits;
        if (ViStatus st = p.end->apply(p); st < 0)
            return st;
    }
    p.sessions.push_back(s);
    return VI_SUCCESS;
}

ViStatus open_session(ViSession rm, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                      ViPSession vi)
{
    if (vi)
        *vi = VI_NULL;
    auto obj = find_object(rm);
    if (!obj)
        return VI_ERROR_INV_OBJECT;
    auto r = std::dynamic_pointer_cast<rm_session>(obj);
    if (!r)
        return VI_ERROR_NSUP_OPER;
    if (!vi)
        return VI_ERROR_INV_PARAMETER;
    if (mode & ~static_cast<ViAccessMode>(VI_EXCLUSIVE_LOCK | VI_LOAD_CONFIG))
        return VI_ERROR_INV_ACC_MODE;
    resource_name rn;
    if (ViStatus st = parse_resource_name(name, rn); st < 0)
        return st;

    auto s = std::make_shared<instr_session>();
    s->rm = rm;
    s->values = initial_values(on_instr, false);
    std::string file;
    if (simulated_open(file))
        s->port = simulation_port(rn.board, simulation_file_path(file));
    else if (!(s->port = configured_port(rn.board)))
        s->port = machine_port(rn.board);
    if (ViStatus st = attach_session(s, mode); st < 0)
        return st;

    const ViSession id = add_object(s);
    {
        std::lock_guard lock(r->m);
        r->children.insert(id);
    }
    if (mode & VI_EXCLUSIVE_LOCK) {
        ViStatus st = acquire_lock(s, VI_EXCLUSIVE_LOCK, timeout, nullptr, nullptr);
        if (st < 0) {
            close_object(id);
            return st == VI_ERROR_TMO && timeout == VI_TMO_IMMEDIATE ? VI_ERROR_RSRC_LOCKED : st;
        }
    }
    *vi = id;
    return VI_SUCCESS;
}

ViStatus parse(ViSession rm, ViConstRsrc name, ViPUInt16 type, ViPUInt16 num, ViChar* cls,
               ViChar* expanded, ViChar* alias)
{
    auto obj = find_object(rm);
    if (!obj)
        return VI_ERROR_INV_OBJECT;
    if (!std::dynamic_pointer_cast<rm_session>(obj))
        return VI_ERROR_NSUP_OPER;
    resource_name rn;
    if (ViStatus st = parse_resource_name(name, rn); st < 0)
        return st;
    // An alias names a port only when that port exists: a configured one, or one the machine
    // names (found without opening it, which would take it from its user).
    const bool exists =
        configured_port(rn.board) || comm_port_named("COM" + std::to_string(rn.board));
    if (!rn.alias.empty() && !exists)
        return VI_ERROR_RSRC_NFOUND;
    if (type)
        *type = VI_INTF_ASRL;
    if (num)
        *num = rn.board;
    if (cls)
        copy_text("INSTR", cls);
    if (expanded)
        copy_text(rn.canonical, expanded);
    if (alias)
        copy_text(exists ? "COM" + std::to_string(rn.board) : "", alias);
    return VI_SUCCESS;
}

}  // namespace

extern "C" {

ViStatus _VI_FUNC viOpenDefaultRM(ViPSession vi)
{
    return api_call("viOpenDefaultRM", {{"vi", ptr(vi)}}, [&]() -> ViStatus {
        if (!vi)
            return VI_ERROR_INV_PARAMETER;
        auto r = std::make_shared<rm_session>();
        attr_values locals = initial_values(on_rm, false), globals = initial_values(on_rm, true);
        r->values = locals;
        r->values.insert(globals.begin(), globals.end());
        const bool config = configuration_loaded();
        *vi = add_object(r);
        return config ? VI_SUCCESS : VI_WARN_CONFIG_NLOADED;
    });
}

ViStatus _VI_FUNC viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt,
                             ViChar desc[])
{
    return api_call("viFindRsrc",
                    {{"sesn", num(sesn)},
                     {"expr", text(expr)},
                     {"vi", ptr(vi)},
                     {"retCnt", ptr(retCnt)},
                     {"desc", ptr(desc)}},
                    [&]() -> ViStatus {
                        if (vi)
                            *vi = VI_NULL;
                        if (retCnt)
                            *retCnt = 0;
                        auto obj = find_object(sesn);
                        if (!obj)
                            return VI_ERROR_INV_OBJECT;
                        if (!std::dynamic_pointer_cast<rm_session>(obj))
                            return VI_ERROR_NSUP_OPER;
                        std::vector<std::string> matches;
                        if (ViStatus st = match_resources(expr, configured_resources(), matches);
                            st < 0)
                            return st;
                        if (matches.empty())
                            return VI_ERROR_RSRC_NFOUND;
                        if (desc)
                            copy_text(matches.front(), desc);
                        if (retCnt)
                            *retCnt = static_cast<ViUInt32>(matches.size());
                        if (vi) {
                            auto f = std::make_shared<find_list>();
                            f->rm = sesn;
                            f->rest.assign(matches.begin() + 1, matches.end());
                            *vi = add_object(f);
                            auto r = std::dynamic_pointer_cast<rm_session>(obj);
                            std::lock_guard lock(r->m);
                            r->children.insert(*vi);
                        }
                        return VI_SUCCESS;
                    });
}

ViStatus _VI_FUNC viFindNext(ViFindList vi, ViChar desc[])
{
    return api_call("viFindNext", {{"vi", num(vi)}, {"desc", ptr(desc)}}, [&]() -> ViStatus {
        auto obj = find_object(vi);
        if (!obj)
            return VI_ERROR_INV_OBJECT;
        auto f = std::dynamic_pointer_cast<find_list>(obj);
        if (!f)
            return VI_ERROR_NSUP_OPER;
        std::lock_guard lock(f->m);
        if (f->rest.empty())
            return VI_ERROR_RSRC_NFOUND;
        if (desc)
            copy_text(f->rest.front(), desc);
        f->rest.pop_front();
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC viParseRsrc(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType,
                              ViPUInt16 intfNum)
{
    return api_call(
        "viParseRsrc",
        {{"rmSesn", num(rmSesn)},
         {"rsrcName", text(rsrcName)},
         {"intfType", ptr(intfType)},
         {"intfNum", ptr(intfNum)}},
        [&] { return parse(rmSesn, rsrcName, intfType, intfNum, nullptr, nullptr, nullptr); });
}

ViStatus _VI_FUNC viParseRsrcEx(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType,
                                ViPUInt16 intfNum, ViChar rsrcClass[],
                                ViChar expandedUnaliasedName[], ViChar aliasIfExists[])
{
    return api_call("viParseRsrcEx",
                    {{"rmSesn", num(rmSesn)},
                     {"rsrcName", text(rsrcName)},
                     {"intfType", ptr(intfType)},
                     {"intfNum", ptr(intfNum)},
                     {"rsrcClass", ptr(rsrcClass)},
                     {"expandedUnaliasedName", ptr(expandedUnaliasedName)},
                     {"aliasIfExists", ptr(aliasIfExists)}},
                    [&] {
                        return parse(rmSesn, rsrcName, intfType, intfNum, rsrcClass,
                                     expandedUnaliasedName, aliasIfExists);
                    });
}

ViStatus _VI_FUNC viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                         ViPSession vi)
{
    return api_call("viOpen",
                    {{"sesn", num(sesn)},
                     {"name", text(name)},
                     {"mode", num(mode)},
                     {"timeout", num(timeout)},
                     {"vi", ptr(vi)}},
                    [&] { return open_session(sesn, name, mode, timeout, vi); });
}

ViStatus _VI_FUNC viClose(ViObject vi)
{
    return api_call("viClose", {{"vi", num(vi)}}, [&]() -> ViStatus {
        if (vi == VI_NULL)
            return VI_WARN_NULL_OBJECT;
        return close_object(vi);
    });
}

ViStatus _VI_FUNC viStatusDesc(ViObject vi, ViStatus status, ViChar desc[])
{
    return api_call(
        "viStatusDesc",
        {{"vi", num(vi)}, {"status", hex(static_cast<ViUInt32>(status))}, {"desc", ptr(desc)}},
        [&]() -> ViStatus {
            if (!desc)
                return VI_ERROR_USER_BUF;
            // Every object, the resource manager included, and even a closed one, describes codes.
            if (const char* t = status_description(status)) {
                copy_text(t, desc);
                return VI_SUCCESS;
            }
            char unknown[64];
            std::snprintf(unknown, sizeof unknown, "Unknown status code 0x%08lX.",
                          static_cast<unsigned long>(static_cast<ViUInt32>(status)));
            copy_text(unknown, desc);
            return VI_WARN_UNKNOWN_STATUS;
        });
}

}  // extern "C"
