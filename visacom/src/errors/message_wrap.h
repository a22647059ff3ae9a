#pragma once
// Line wrapping of message texts as FormatMessage documents it for a maximum line width
// (the low byte of its flags). Wine's FormatMessage wraps only partly, so the server formats
// without a width and wraps the result here:
// - regular line breaks of the text ("\r\n", "\r" or "\n") count as one space each;
// - width 0xFF (FORMAT_MESSAGE_MAX_WIDTH_MASK): nothing more;
// - another non-zero width W: when a line reaches W characters it is broken with "\r\n" at its
//   last space, the run of spaces there being dropped; a line without a space is broken
//   after W characters.
// Width 0 leaves the text unchanged.
#include <string>
#include <string_view>

namespace mrv {

std::string wrap_message_lines(std::string_view text, unsigned width);

}  // namespace mrv
