#pragma once
// The member definitions of IBaseMessageImpl, for the one unit of a session class that
// instantiates the template explicitly.
#include "session/base_message_impl.h"
#include "session/base_message_methods.h"
#include "session/serial_methods.h"
#include "session/session_properties.h"
