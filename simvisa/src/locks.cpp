#include "locks.h"

#include <atomic>
#include <cstring>
#include <string>

#include "port.h"

namespace simvisa {
namespace {

void copy_key(const std::string& key, char* out)
{
    if (!out)
        return;
    size_t n = std::min<size_t>(key.size(), 255);
    std::memcpy(out, key.data(), n);
    out[n] = '\0';
}

std::string generated_key()
{
    static std::atomic<unsigned> next{1};
    return "SimVisaSharedKey" + std::to_string(next++);
}

}  // namespace

ViStatus acquire_lock(const std::shared_ptr<instr_session>& s, ViAccessMode type, ViUInt32 timeout,
                      const char* requested_key, char* access_key)
{
    if (type != VI_EXCLUSIVE_LOCK && type != VI_SHARED_LOCK)
        return VI_ERROR_INV_LOCK_TYPE;
    if (type == VI_SHARED_LOCK && requested_key && std::strlen(requested_key) > 255)
        return VI_ERROR_INV_ACCESS_KEY;
    port& p = *s->port;
    const ViSession me = s->id;
    std::unique_lock lock(p.m);
    const auto start = clock::now();
    const auto deadline = timeout == VI_TMO_INFINITE ? clock::time_point::max()
                                                     : start + std::chrono::milliseconds(timeout);
    for (;;) {
        if (type == VI_EXCLUSIVE_LOCK) {
            if (p.exclusive_owner == me) {
                ++p.exclusive_count;
                return VI_SUCCESS_NESTED_EXCLUSIVE;
            }
            // One of the sessions that share the lock may also take it exclusively.
            if (!p.exclusive_owner && (p.shared.empty() || p.shared.count(me))) {
                p.exclusive_owner = me;
                p.exclusive_count = 1;
                return VI_SUCCESS;
            }
        } else {
            auto own = p.shared.find(me);
            if (own != p.shared.end()) {
                ++own->second;
                copy_key(p.shared_key, access_key);
                return VI_SUCCESS_NESTED_SHARED;
            }
            const bool held_by_other = p.exclusive_owner && p.exclusive_owner != me;
            if (!held_by_other) {
                if (p.shared.empty()) {
                    p.shared_key = requested_key ? requested_key : generated_key();
                    p.shared[me] = 1;
                    copy_key(p.shared_key, access_key);
                    return VI_SUCCESS;
                }
                if (requested_key) {
                    if (p.shared_key != requested_key)
                        return VI_ERROR_INV_ACCESS_KEY;
                    p.shared[me] = 1;
                    copy_key(p.shared_key, access_key);
                    return VI_SUCCESS;
                }
            }
        }
        if (s->closed)
            return VI_ERROR_INV_OBJECT;
        const auto now = clock::now();
        if (now >= deadline)
            return VI_ERROR_TMO;
        p.cv.wait_until(lock, std::min(deadline, now + std::chrono::hours(1)));
    }
}

ViStatus release_lock(const std::shared_ptr<instr_session>& s)
{
    port& p = *s->port;
    const ViSession me = s->id;
    std::lock_guard lock(p.m);
    if (p.exclusive_owner == me) {
        if (--p.exclusive_count == 0)
            p.exclusive_owner = 0;
    } else if (auto own = p.shared.find(me); own != p.shared.end()) {
        if (--own->second == 0)
            p.shared.erase(own);
        if (p.shared.empty())
            p.shared_key.clear();
    } else {
        return VI_ERROR_SESN_NLOCKED;
    }
    p.cv.notify_all();
    if (p.exclusive_owner == me)
        return VI_SUCCESS_NESTED_EXCLUSIVE;
    if (p.shared.count(me))
        return VI_SUCCESS_NESTED_SHARED;
    return VI_SUCCESS;
}

void release_all_locks(instr_session& s)
{
    port& p = *s.port;
    std::lock_guard lock(p.m);
    if (p.exclusive_owner == s.id) {
        p.exclusive_owner = 0;
        p.exclusive_count = 0;
    }
    p.shared.erase(s.id);
    if (p.shared.empty())
        p.shared_key.clear();
    p.cv.notify_all();
}

}  // namespace simvisa
