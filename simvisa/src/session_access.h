// Looking up the session that an exported operation names.
#pragma once

#include <memory>

#include "objects.h"

namespace simvisa {

// Runs `body(session)` for an open instrument session; VI_ERROR_INV_OBJECT for an unknown or
// closed handle, VI_ERROR_NSUP_OPER for another kind of object.
template <class Body>
ViStatus with_session(ViSession vi, Body&& body)
{
    auto obj = find_object(vi);
    if (!obj)
        return VI_ERROR_INV_OBJECT;
    auto s = std::dynamic_pointer_cast<instr_session>(obj);
    if (!s)
        return VI_ERROR_NSUP_OPER;
    if (s->closed)
        return VI_ERROR_INV_OBJECT;
    return body(s);
}

// The session's current value of a stored local attribute.
int64_t local_value(instr_session& s, ViAttr attr);

}  // namespace simvisa
