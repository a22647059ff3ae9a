#pragma once
// The client's standard input and output. A console gets wide text through the console API;
// a file or pipe (a script, a captured transcript) gets and gives UTF-8. Output is unbuffered,
// so a transcript stays in order even when the program ends abruptly.
#include <windows.h>

#include <string>
#include <string_view>

namespace asrlcon {

class console_io {
public:
    console_io();
    console_io(const console_io&) = delete;
    console_io& operator=(const console_io&) = delete;

    void write(std::wstring_view text);
    void line(std::wstring_view text)
    {
        write(text);
        write(L"\n");
    }
    // One line of input without its line end; false at the end of input.
    bool read_line(std::wstring& text);
    // Input is typed by a person (so it is not echoed and a prompt is shown).
    bool interactive() const { return input_is_console_; }

private:
    bool read_byte_line(std::string& bytes);

    HANDLE in_, out_;
    bool input_is_console_, output_is_console_;
};

// UTF-8 and wide text, for command lines, files and pipes.
std::wstring from_utf8(std::string_view bytes);
std::string to_utf8(std::wstring_view text);

}  // namespace asrlcon
