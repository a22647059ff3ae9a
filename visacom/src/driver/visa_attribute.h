#pragma once
// A VISA attribute as the driver's typed operations see it: its identifier, the type VISA stores
// it in (which fixes how many bytes a read writes and how a set value is widened), and the type
// the caller works with. The typed operations are declared as data of this kind.
#include <visa.h>

#include <cstdint>
#include <type_traits>

namespace mrv {

template <ViAttr Id, class Stored, class Value = Stored>
struct visa_attribute {
    static constexpr ViAttr id = Id;
    using stored_type = Stored;
    using value_type = Value;
    static_assert(std::is_integral_v<Stored> && sizeof(Stored) <= sizeof(ViAttrState));
};

// The pointer-sized value handed to viSetAttribute: signed widths carry their sign into the upper
// bits, unsigned ones are zero-extended.
template <class Stored>
constexpr ViAttrState widen_attribute(Stored value) noexcept
{
    if constexpr (std::is_signed_v<Stored>)
        return static_cast<ViAttrState>(static_cast<std::int64_t>(value));
    else
        return static_cast<ViAttrState>(value);
}

// Between the caller's type and the stored one. A VISA boolean is stored as 1 or 0 and read back
// as true for any non-zero value.
template <class Attribute>
constexpr typename Attribute::stored_type to_stored(typename Attribute::value_type value) noexcept
{
    using stored = typename Attribute::stored_type;
    if constexpr (std::is_same_v<typename Attribute::value_type, bool>)
        return static_cast<stored>(value ? VI_TRUE : VI_FALSE);
    else
        return static_cast<stored>(value);
}

template <class Attribute>
constexpr typename Attribute::value_type from_stored(typename Attribute::stored_type value) noexcept
{
    if constexpr (std::is_same_v<typename Attribute::value_type, bool>)
        return value != 0;
    else
        return static_cast<typename Attribute::value_type>(value);
}

// The attributes of every message-based session.
namespace attributes {
inline constexpr visa_attribute<VI_ATTR_TMO_VALUE, ViInt32> timeout{};
inline constexpr visa_attribute<VI_ATTR_IO_PROT, ViInt16> io_protocol{};
inline constexpr visa_attribute<VI_ATTR_SEND_END_EN, ViBoolean, bool> send_end_enabled{};
inline constexpr visa_attribute<VI_ATTR_TERMCHAR, ViUInt8> term_char{};
inline constexpr visa_attribute<VI_ATTR_TERMCHAR_EN, ViBoolean, bool> term_char_enabled{};
inline constexpr visa_attribute<VI_ATTR_INTF_NUM, ViInt16> interface_number{};
inline constexpr visa_attribute<VI_ATTR_RSRC_LOCK_STATE, ViInt32> lock_state{};
}  // namespace attributes

}  // namespace mrv
