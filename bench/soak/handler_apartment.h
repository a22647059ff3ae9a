#pragma once
// A single-threaded apartment of its own, with a session of its own on the shared port, that
// installs a client handler for service requests, serves the calls into it for a while and
// uninstalls it, over and over. The server calls the handler from the session's dispatch
// thread through COM's marshaling, on this apartment's thread.
//
// The session lives as long as the apartment. Wine 8 keeps an RPC endpoint for every apartment
// that ever exported an object and stops serving calls between apartments after about 62 of
// them; the dispatch thread of every session that calls a handler in another apartment is one.
// Sessions that come and go get free-threaded handlers from the workers instead.
#include <windows.h>

#include <atomic>
#include <thread>

#include "soak/control.h"
#include "soak/sessions.h"

namespace soak {

class handler_apartment {
public:
    // `opened` counts the sessions the apartments open (see soak.cpp: the growth allowed).
    handler_apartment(control& ctl, outcomes& out, std::wstring resource, long user_handle,
                      unsigned seed, std::atomic<unsigned>& opened);
    ~handler_apartment();
    handler_apartment(const handler_apartment&) = delete;
    handler_apartment& operator=(const handler_apartment&) = delete;

private:
    void serve();
    // Pumps this thread's messages for `ms` (calls into the handler arrive as messages).
    static void pump(DWORD ms);

    control& ctl_;
    outcomes& out_;
    const std::wstring resource_;
    const long user_handle_;
    const unsigned seed_;
    std::atomic<unsigned>& opened_;
    participant& self_;
    std::thread thread_;
};

}  // namespace soak
