#pragma once
// visa_error: a VISA status raised by a VISA call, with its description. Negative statuses are
// described by the VISA library (viStatusDesc), through the driver when one is given, or else
// through the process-wide description entry that the driver layer installs with
// set_library_status_description.
#include <windows.h>

#include <stdexcept>
#include <string>

#include "errors/status_map.h"

namespace mrv {

// What a driver offers visa_error: its VISA session and a description of a status written into
// a 256-character buffer (it may itself raise visa_error).
class status_describer {
public:
    virtual vi_session describer_session() const noexcept = 0;
    virtual void status_description(vi_status status, char* description /* [256] */) = 0;

protected:
    ~status_describer() = default;
};

// The process-wide viStatusDesc of the loaded VISA library, called without a driver. Returns
// the call's status; null entry = no library loaded yet.
using library_status_description = vi_status (*)(vi_session session, vi_status status,
                                                 char* description /* [256] */);
void set_library_status_description(library_status_description entry) noexcept;

class visa_error : public std::runtime_error {
public:
    visa_error(vi_status status, status_describer& driver);
    visa_error(vi_status status, vi_session session);
    ~visa_error() override = default;

    const char* what() const noexcept override;
    // Fills status and message for `status` (see the class comment); driver may be null.
    virtual void describe(vi_status status, vi_session session, status_describer* driver);
    // The status map's HRESULT; 0x80040000 for an unmapped status.
    virtual HRESULT hresult() const noexcept;
    virtual vi_status status() const noexcept;
    // The status map's help context; 0 for an unmapped status.
    virtual DWORD help_context() const noexcept;

private:
    vi_status status_ = 0;
    std::string message_;
};

// The HRESULT a method returns for a VISA completion or warning code it passes on (S_OK for
// VI_SUCCESS); the library is not asked for a text.
HRESULT hresult_of_status(vi_status status) noexcept;

}  // namespace mrv
