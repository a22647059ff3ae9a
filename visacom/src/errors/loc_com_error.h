#pragma once
// loc_com_error: a failure that reports itself as an HRESULT plus a ready-built COM error
// object (description, interface GUID, help context, help file, source). win32_com_error is one
// built from a win32_error; internal_com_error is the catch-all "internal error".
#include <windows.h>
#include <oaidl.h>

#include <stdexcept>
#include <string>

#include "com/bstr_t.h"
#include "com/com_ptr.h"

namespace mrv {

class visa_error;
class win32_error;

class loc_com_error : public std::runtime_error {
public:
    // Description = string-table text of string_id (no fallback).
    loc_com_error(UINT string_id, DWORD help_context, const _bstr_t& help_file,
                  const _bstr_t& source, REFGUID iid, HRESULT hr);
    // The same with the process-wide help file and error source.
    loc_com_error(UINT string_id, DWORD help_context, REFGUID iid, HRESULT hr);
    // Description = `description` in the ANSI code page.
    loc_com_error(const wchar_t* description, DWORD help_context, const _bstr_t& help_file,
                  const _bstr_t& source, REFGUID iid, HRESULT hr);
    // The same with the process-wide help file and error source.
    loc_com_error(const wchar_t* description, DWORD help_context, REFGUID iid, HRESULT hr);
    // A VISA failure reported for interface iid: its text, help context and HRESULT.
    loc_com_error(const visa_error& e, REFGUID iid);
    // Only an HRESULT: no description and no error object.
    explicit loc_com_error(HRESULT hr);
    // Copies description and HRESULT, and builds a fresh error object from the other's fields.
    loc_com_error(const loc_com_error& other);
    loc_com_error& operator=(const loc_com_error& other);
    ~loc_com_error() override = default;

    const char* what() const noexcept override;
    // Posts the held error object on the calling thread (when there is one); returns the
    // HRESULT. Every method returns this call's result as its own.
    virtual HRESULT set_error_info() const noexcept;
    // Rebuilds the error object from the calling thread's current one (same HRESULT).
    virtual void capture_error_info();

    HRESULT hresult() const noexcept { return hr_; }
    IErrorInfo* error_info() const noexcept { return info_.get(); }

protected:
    struct from_win32_tag {};
    loc_com_error(from_win32_tag, const win32_error& e, DWORD help_context, REFGUID iid);

private:
    void build(const wchar_t* description, REFGUID iid, DWORD help_context,
               const wchar_t* help_file, const wchar_t* source);
    void rebuild_from(IErrorInfo* source_info);

    std::string description_;
    com_ptr<IErrorInfo> info_;
    HRESULT hr_ = S_OK;
};

class win32_com_error : public loc_com_error {
public:
    // Text and HRESULT of `e`, the process-wide help file and source.
    win32_com_error(const win32_error& e, DWORD help_context, REFGUID iid);
};

class internal_com_error : public loc_com_error {
public:
    // String 2009, help context 1011, E_UNEXPECTED.
    explicit internal_com_error(REFGUID iid);
};

inline constexpr HRESULT no_open_session_hresult = static_cast<HRESULT>(0x8004000E);

// The no-open-session error (string 2006, help context 1002, 0x8004000E) for interface iid.
loc_com_error no_open_session_error(REFGUID iid);
// The same error posted on the calling thread; returns its HRESULT.
HRESULT no_open_session(REFGUID iid) noexcept;

}  // namespace mrv
