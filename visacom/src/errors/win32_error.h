#pragma once
// win32_error: a failed Win32 call's error code with the system's text for it;
// win32_hresult_error: a failure reported with a string-table text and an explicit HRESULT.
#include <windows.h>

#include <stdexcept>
#include <string>

namespace mrv {

class win32_error : public std::runtime_error {
public:
    explicit win32_error(DWORD code);
    ~win32_error() override = default;

    const char* what() const noexcept override;
    // A code that is 0 or negative as a signed number already is an HRESULT and is returned
    // unchanged; any other becomes (code & 0xFFFF) | 0x80070000.
    virtual HRESULT hresult() const noexcept;
    DWORD code() const noexcept { return code_; }

protected:
    struct message_tag {};
    win32_error(message_tag, std::string message, DWORD code);

private:
    std::string message_;
    DWORD code_;
};

// Raises win32_error with the calling thread's last error.
[[noreturn]] void throw_last_error();

class win32_hresult_error : public win32_error {
public:
    // Text = string-table text of string_id (no fallback).
    win32_hresult_error(UINT string_id, HRESULT hr);
    HRESULT hresult() const noexcept override;

private:
    HRESULT hr_;
};

}  // namespace mrv
