// The attributes of serial INSTR sessions and resource manager sessions, declared as data:
// identifier, type, access, scope, initial value and valid values.
#pragma once

#include <cstdint>
#include <map>

#include "visa.h"

namespace simvisa {

enum class attr_type : uint8_t { u8, u16, i16, u32, i32, u64, boolean, text };

enum attr_owner : uint8_t { on_instr = 1, on_rm = 2 };

struct attr_def {
    ViAttr id;
    attr_type type;
    bool writable;
    bool global;     // a property of the resource shared by its sessions, not of one session
    bool computed;   // read from the live state rather than stored
    uint8_t owners;  // on_instr / on_rm
    int64_t initial;
    int64_t lo, hi;                    // valid range of a written value (after narrowing)
    const int64_t* choices = nullptr;  // when set, the only valid values
    int nchoices = 0;
};

using attr_values = std::map<ViAttr, int64_t>;

const attr_def* find_attr(ViAttr id, uint8_t owner);
// Number of bytes a get writes (text attributes: up to 256 including the NUL).
unsigned attr_size(attr_type t);
// The value of a set, narrowed to the attribute's width (signed types keep their sign).
int64_t narrow(attr_type t, ViAttrState value);
bool valid_value(const attr_def& def, int64_t value);
// Writes exactly attr_size(type) bytes.
void store_value(void* out, attr_type t, int64_t value);
// Initial values of the stored (not computed) attributes of one scope.
attr_values initial_values(uint8_t owner, bool global);

}  // namespace simvisa
