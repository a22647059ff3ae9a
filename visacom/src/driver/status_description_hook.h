#pragma once
// How visa_error gets the VISA library's text for a status: through a driver (driver_describer)
// or, without one, through the process-wide viStatusDesc entry.
#include "errors/visa_error.h"

namespace mrv {

class visa_driver;

// A driver as visa_error sees it: its session and its status_description operation.
class driver_describer final : public status_describer {
public:
    explicit driver_describer(visa_driver& driver) noexcept : driver_(driver) {}
    vi_session describer_session() const noexcept override;
    void status_description(vi_status status, char* description) override;

private:
    visa_driver& driver_;
};

// Hands the process-wide viStatusDesc to visa_error for statuses raised without a driver.
// Called after every successful resolution; installing it again changes nothing.
void install_library_status_description() noexcept;

}  // namespace mrv
