#pragma once
// Shared helpers of the error-model tests: the process set up like the loaded server (string
// table of this executable, module strings, COM initialised), and reading back the thread's
// error object.
#include <windows.h>
#include <oaidl.h>

#include <string>

namespace mrv::test {

inline const wchar_t* const help_file_path = L"C:\\Program Files\\Morvane\\bin\\visacom.chm";

struct error_fields {
    bool present = false;
    std::wstring description;
    GUID iid{};
    DWORD help_context = 0;
    std::wstring help_file;
    std::wstring source;
};

// Takes the calling thread's error object (GetErrorInfo clears it) and returns its fields.
error_fields take_error_info();
// Reads the fields of an error object without touching the thread's.
error_fields fields_of(IErrorInfo* info);
// Posts a recognisable error object ("earlier error") on the calling thread.
void post_earlier_error();

}  // namespace mrv::test
