// Serial resource names (ASRL<n>[::INSTR], COM<n>) and resource search expressions.
#pragma once

#include <string>
#include <vector>

#include "visa.h"

namespace simvisa {

struct resource_name {
    ViUInt16 board = 0;
    std::string canonical;  // "ASRL<n>::INSTR"
    std::string alias;      // "COM<n>" when the name was given that way or the port has one
};

// VI_SUCCESS with `out` filled; VI_ERROR_INV_RSRC_NAME for a malformed name;
// VI_ERROR_RSRC_NFOUND for a well-formed name of an interface this library has no ports on.
ViStatus parse_resource_name(const char* text, resource_name& out);

// Resources whose canonical names match a VISA search expression, in the order given.
// VI_ERROR_INV_EXPR for an expression that does not parse.
ViStatus match_resources(const char* expr, const std::vector<std::string>& names,
                         std::vector<std::string>& matches);

}  // namespace simvisa
