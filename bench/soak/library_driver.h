#pragma once
// The thread that plays the instruments' side: it raises service requests on every instrument
// session of the soak's ports, empties the simulation library's call log now and then, and,
// while fault injection runs, has the library fail a random VISA call with a random status.
#include <string>
#include <thread>
#include <vector>

#include "soak/control.h"
#include "soak/library.h"
#include "soak/outcomes.h"

namespace soak {

class library_driver {
public:
    library_driver(control& ctl, outcomes& out, const library& visa,
                   std::vector<std::string> resources, unsigned seed);
    ~library_driver();
    library_driver(const library_driver&) = delete;
    library_driver& operator=(const library_driver&) = delete;

private:
    void run();

    control& ctl_;
    outcomes& out_;
    const library& visa_;
    const std::vector<std::string> resources_;
    const unsigned seed_;
    participant& self_;
    std::thread thread_;
};

}  // namespace soak
