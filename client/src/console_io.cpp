#include "console_io.h"

namespace asrlcon {

namespace {

bool is_console(HANDLE h)
{
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

}  // namespace

std::wstring from_utf8(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

std::string to_utf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                        nullptr, nullptr);
    return bytes;
}

console_io::console_io()
    : in_(GetStdHandle(STD_INPUT_HANDLE)), out_(GetStdHandle(STD_OUTPUT_HANDLE)),
      input_is_console_(is_console(in_)), output_is_console_(is_console(out_))
{}

void console_io::write(std::wstring_view text)
{
    DWORD done = 0;
    if (output_is_console_) {
        WriteConsoleW(out_, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
        return;
    }
    if (out_ == nullptr || out_ == INVALID_HANDLE_VALUE)
        return;
    const std::string bytes = to_utf8(text);
    WriteFile(out_, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

bool console_io::read_byte_line(std::string& bytes)
{
    bytes.clear();
    char c = 0;
    DWORD got = 0;
    bool any = false;
    while (ReadFile(in_, &c, 1, &got, nullptr) && got == 1) {
        any = true;
        if (c == '\n')
            return true;
        bytes.push_back(c);
    }
    return any;
}

bool console_io::read_line(std::wstring& text)
{
    text.clear();
    if (input_is_console_) {
        wchar_t c = 0;
        DWORD got = 0;
        bool any = false;
        while (ReadConsoleW(in_, &c, 1, &got, nullptr) && got == 1) {
            any = true;
            if (c == L'\n')
                break;
            text.push_back(c);
        }
        if (!any)
            return false;
    } else {
        std::string bytes;
        if (!read_byte_line(bytes))
            return false;
        text = from_utf8(bytes);
    }
    if (!text.empty() && text.back() == L'\r')
        text.pop_back();
    return true;
}

}  // namespace asrlcon
