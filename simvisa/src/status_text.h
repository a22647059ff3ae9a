// Names and descriptions of every VISA completion, warning and error code.
#pragma once

#include "visa.h"

namespace simvisa {

// The symbolic name ("VI_ERROR_TMO") or null for an unknown code.
const char* status_name(ViStatus status);
// The description; null for an unknown code.
const char* status_description(ViStatus status);

}  // namespace simvisa
