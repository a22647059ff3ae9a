#pragma once
// enum_table: a two-way map between names and numbers, filled once by its owner. A name that
// the table does not hold raises bad_enumval.
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace mrv {

class enum_table {
public:
    struct entry {
        const char* name;
        long value;
    };

    enum_table(std::initializer_list<entry> entries);

    // The number of `name` (compared exactly); raises bad_enumval when there is none.
    long value_of(std::string_view name) const;
    // The first name given for `value`, if any.
    std::optional<std::string> name_of(long value) const;

private:
    std::map<std::string, long, std::less<>> by_name_;
    std::map<long, std::string> by_value_;
};

}  // namespace mrv
