#pragma once
// The failures of reading and applying an option string. bad_enumval is raised by a table
// lookup of a name it does not hold; bad_paramstring is what leaves a reader for any failure
// that is not a ready-made COM error (loc_com_error).
#include <stdexcept>
#include <string>

namespace mrv {

class bad_paramstring : public std::runtime_error {
public:
    explicit bad_paramstring(const std::string& message) : std::runtime_error(message) {}
};

class bad_enumval : public std::runtime_error {
public:
    bad_enumval() : std::runtime_error("No valid conversion.") {}
};

// Maps the exception being handled to what a reader lets out: bad_paramstring and
// loc_com_error unchanged, bad_enumval as a bad_paramstring with its message, anything else as
// a bad_paramstring with string 2009 (the internal error). Call only inside a catch block.
[[noreturn]] void rethrow_as_reader_failure();

}  // namespace mrv
