#pragma once
// The objects the server creates for its clients. Each stays open here from its create request
// until the client's close request (or until the client process ends), so that the client can
// open it by name in between.
#include <windows.h>

#include <map>
#include <mutex>
#include <string>

#include "trace/nko_protocol.h"
#include "com/unique_any.h"

namespace nkoserver {

class object_table {
public:
    // Carries out one request and returns the reply text: "handle,lasterror" for a creation
    // ("handle,183" when the object existed), "1,0" for a close, "0,error" on failure
    // ("0,87" for a request the server does not understand).
    std::string execute(const mrv::nko::request& request);

    std::size_t held() const;

private:
    struct entry {
        DWORD process;
        mrv::unique_handle object;
        mrv::unique_handle process_handle;  // to drop entries of clients that ended
    };

    std::string create(const mrv::nko::request& request);
    std::string close(const mrv::nko::request& request);
    void drop_ended_clients();

    mutable std::mutex lock_;
    std::map<ULONG_PTR, entry> objects_;
};

}  // namespace nkoserver
