#pragma once
// bad_pointer: a caller's pointer argument is null or not accessible. Reported as E_POINTER
// without error information.
#include <stdexcept>

namespace mrv {

class bad_pointer : public std::runtime_error {
public:
    bad_pointer();  // message: string 2005 "Bad Pointer."
};

}  // namespace mrv
