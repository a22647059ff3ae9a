#pragma once
// The texts exchanged with the kernel-object server, shared by the client and nkoserver.exe.
//
// A request is one ASCII element without declaration or line break, e.g.
//     <CreateEvent ProcId="12" SecurityAttributes="1" bManualReset="1" bInitialState="0"
//     lpName="x"/>
// numbers in signed decimal, the name escaped (&quot; &amp; &apos; &lt; &gt;). A reply is the
// handle value in decimal, optionally followed by "," and the creation's last error.
// On the pipe (message mode) each text is preceded by its length plus one as a 4-byte
// little-endian count, and sent with its terminating NUL.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mrv::nko {

inline constexpr std::size_t kMaxNameText = 1023;     // escaped lpName
inline constexpr std::size_t kMaxRequestText = 2047;  // longer requests are cut
inline constexpr std::size_t kReplyBuffer = 4096;     // at most 4095 reply bytes are kept

using attribute = std::pair<std::string, std::string>;

// "<element a="v" .../>", cut to kMaxRequestText characters. Values are written as given.
std::string request_text(std::string_view element, const std::vector<attribute>& attributes);

// The name with the five entities, cut to kMaxNameText characters; an entity that would not fit
// ends the name.
std::string escape_name(std::string_view name);

std::string create_event_request(DWORD process, bool attributes, BOOL manual_reset,
                                 BOOL initial_state, std::string_view name);
std::string create_mutex_request(DWORD process, bool attributes, BOOL initial_owner,
                                 std::string_view name);
std::string create_semaphore_request(DWORD process, bool attributes, LONG initial_count,
                                     LONG maximum_count, std::string_view name);
std::string create_file_mapping_request(DWORD process, HANDLE file, bool attributes, DWORD protect,
                                        DWORD maximum_size_high, DWORD maximum_size_low,
                                        std::string_view name);
std::string close_handle_request(DWORD process, ULONG_PTR handle);

struct reply {
    ULONG_PTR handle = 0;        // 0 when the text holds no number
    std::optional<DWORD> error;  // present when the text has a comma
};
reply parse_reply(std::string_view text);
std::string reply_text(ULONG_PTR handle, DWORD error);

// A request as the server reads it: the element name and its attributes in order, values
// unescaped. Empty when the text is not one well-formed element.
struct request {
    std::string element;
    std::vector<attribute> attributes;

    const std::string* find(std::string_view name) const;
    // The attribute as a signed decimal number; empty when missing or not a number.
    std::optional<std::int64_t> number(std::string_view name) const;
};
std::optional<request> parse_request(std::string_view text);

}  // namespace mrv::nko
