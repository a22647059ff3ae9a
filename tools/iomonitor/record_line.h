#pragma once
// One trace record (the XML text of the trace pipe) as one readable line.
#include <string>
#include <string_view>

namespace iomonitor {

struct record_summary {
    std::wstring kind;    // "Method_Enter", "Method_Exit", "Method_Error"
    std::wstring method;  // "IMessage::Write"
    std::wstring process_id;
    // The readable form, without a line break: control characters in values are shown as \r,
    // \n, \t or \xHH.
    std::wstring line;
};

// Reads the record's attributes and parameters. A text that does not open with <Message>,
// <Method> and one of the three method elements gives an empty kind and, as its line,
// "unreadable record: " with its first 1000 characters (and its length when it is longer).
record_summary summarize_record(std::wstring_view xml);

}  // namespace iomonitor
