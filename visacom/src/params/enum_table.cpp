#include "params/enum_table.h"

#include "params/paramstring_errors.h"

namespace mrv {

enum_table::enum_table(std::initializer_list<entry> entries)
{
    for (const entry& e : entries) {
        by_name_.emplace(e.name, e.value);
        by_value_.emplace(e.value, e.name);  // keeps the first name of a value
    }
}

long enum_table::value_of(std::string_view name) const
{
    const auto it = by_name_.find(name);
    if (it == by_name_.end())
        throw bad_enumval();
    return it->second;
}

std::optional<std::string> enum_table::name_of(long value) const
{
    const auto it = by_value_.find(value);
    if (it == by_value_.end())
        return std::nullopt;
    return it->second;
}

}  // namespace mrv
