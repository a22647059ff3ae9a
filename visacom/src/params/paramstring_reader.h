#pragma once
// paramstring_reader: reads an option string ("BaudRate = 19200 ; Parity = ASRL_PAR_EVEN") into
// key/value items and hands them, in string order, to its subclass, which knows the keys and
// applies them. Syntax never fails: text the grammar cannot read is skipped or ends the
// reading quietly; every failure comes from `apply`.
//
// Grammar (only the space character is white space):
// - items are separated by ';'; an item is read only if it has at most 99 characters, and an
//   empty or longer item ends the reading; the reading also ends when no '=' is left;
// - an item without '=' is ignored; otherwise, after trimming the item, the text before its
//   first '=' (1 to 49 characters, counted before the key's own trailing spaces go) is the key
//   and the rest, trimmed, is the value; a value of more than 49 characters drops its item;
// - a value whose decimal conversion is not zero is that number ("9600baud" is 9600, clamped
//   to the 32-bit range); an empty value or one of only '0' and ' ' is 0; anything else is
//   text ("ASRL_PAR_EVEN", "0x11", "-0").
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "com/synchronize.h"
#include "params/paramstring_errors.h"

namespace mrv {

struct param_item {
    std::string key;  // as written, spaces trimmed
    bool is_text = false;
    std::string text;  // the value as written when is_text, else empty
    std::int32_t number = 0;
};
using param_items = std::vector<param_item>;

class paramstring_reader {
public:
    static constexpr std::size_t max_item_length = 99;
    static constexpr std::size_t max_key_length = 49;
    static constexpr std::size_t max_value_length = 49;

    virtual ~paramstring_reader() = default;

    // Reads `text` into the item list and applies it, under the process-wide reader lock.
    // Leaves as bad_paramstring or loc_com_error (rethrow_as_reader_failure).
    void parse(std::string_view text);

    // The items read by the latest parse, in string order.
    const param_items& items() const noexcept { return items_; }

    // The grammar alone: the items of `text`.
    static param_items read_items(std::string_view text);

protected:
    paramstring_reader() = default;
    virtual void apply(const param_items& items) = 0;

private:
    param_items items_;
};

// The process-wide reader lock, held for the guard's lifetime: option strings of all sessions
// are read and applied one at a time.
template <>
class synchronize<paramstring_reader> {
public:
    synchronize() noexcept;
    ~synchronize();
    synchronize(const synchronize&) = delete;
    synchronize& operator=(const synchronize&) = delete;
};

}  // namespace mrv
