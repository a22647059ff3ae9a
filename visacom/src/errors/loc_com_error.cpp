#include "errors/loc_com_error.h"

#include <oleauto.h>

#include "com/unique_any.h"
#include "errors/module_strings.h"
#include "errors/resource_string.h"
#include "resources/string_ids.h"
#include "errors/visa_error.h"
#include "errors/win32_error.h"

namespace mrv {
namespace {

constexpr const char* family_base_message = "nothing";
constexpr const char* hresult_only_base_message =
    "A com error was created for reading the IErrorInfo on TLS";

}  // namespace

loc_com_error::loc_com_error(UINT string_id, DWORD help_context, const _bstr_t& help_file,
                             const _bstr_t& source, REFGUID iid, HRESULT hr)
    : std::runtime_error(family_base_message), hr_(hr)
{
    resource_string text(string_id);
    description_ = text.text();
    build(text.wide_text(), iid, help_context, help_file.wide(), source.wide());
}

loc_com_error::loc_com_error(UINT string_id, DWORD help_context, REFGUID iid, HRESULT hr)
    : loc_com_error(string_id, help_context, help_file(), error_source(), iid, hr)
{}

loc_com_error::loc_com_error(const wchar_t* description, DWORD help_context,
                             const _bstr_t& help_file, const _bstr_t& source, REFGUID iid,
                             HRESULT hr)
    : std::runtime_error(family_base_message), hr_(hr)
{
    _bstr_t text(description);
    description_ = text.narrow();
    build(text.wide(), iid, help_context, help_file.wide(), source.wide());
}

loc_com_error::loc_com_error(const wchar_t* description, DWORD help_context, REFGUID iid,
                             HRESULT hr)
    : loc_com_error(description, help_context, help_file(), error_source(), iid, hr)
{}

loc_com_error::loc_com_error(const visa_error& e, REFGUID iid)
    : loc_com_error(_bstr_t(e.what()).wide(), e.help_context(), iid, e.hresult())
{}

loc_com_error::loc_com_error(HRESULT hr) : std::runtime_error(hresult_only_base_message), hr_(hr) {}

loc_com_error::loc_com_error(from_win32_tag, const win32_error& e, DWORD help_context, REFGUID iid)
    : loc_com_error(_bstr_t(e.what()).wide(), help_context, iid, e.hresult())
{}

loc_com_error::loc_com_error(const loc_com_error& other)
    : std::runtime_error(other), description_(other.description_), hr_(other.hr_)
{
    if (!other.info_)
        return;
    try {
        rebuild_from(other.info_.get());
    } catch (...) {
        // Copies are made while exceptions travel and must not fail: share the object.
        info_ = other.info_;
    }
}

loc_com_error& loc_com_error::operator=(const loc_com_error& other)
{
    if (this != &other) {
        loc_com_error copy(other);
        std::runtime_error::operator=(copy);
        description_ = std::move(copy.description_);
        info_ = std::move(copy.info_);
        hr_ = copy.hr_;
    }
    return *this;
}

const char* loc_com_error::what() const noexcept
{
    return description_.c_str();
}

HRESULT loc_com_error::set_error_info() const noexcept
{
    if (info_)
        ::SetErrorInfo(0, info_.get());
    return hr_;
}

void loc_com_error::capture_error_info()
{
    com_ptr<IErrorInfo> current;
    if (::GetErrorInfo(0, current.put()) != S_OK || !current)
        return;
    rebuild_from(current.get());
}

void loc_com_error::build(const wchar_t* description, REFGUID iid, DWORD help_context,
                          const wchar_t* help_file, const wchar_t* source)
{
    com_ptr<ICreateErrorInfo> create;
    if (FAILED(::CreateErrorInfo(create.put())) || !create)
        return;
    // The setters take LPOLESTR; they copy the texts.
    create->SetDescription(const_cast<wchar_t*>(description));
    create->SetGUID(iid);
    create->SetHelpContext(help_context);
    create->SetHelpFile(const_cast<wchar_t*>(help_file));
    create->SetSource(const_cast<wchar_t*>(source));
    info_.reset();
    info_ = create.as<IErrorInfo>(IID_IErrorInfo);
}

void loc_com_error::rebuild_from(IErrorInfo* source_info)
{
    bstr description, help, source;
    GUID iid = GUID_NULL;
    DWORD context = 0;
    source_info->GetDescription(description.put());
    source_info->GetGUID(&iid);
    source_info->GetHelpContext(&context);
    source_info->GetHelpFile(help.put());
    source_info->GetSource(source.put());
    description_ = _bstr_t(description.get(), true).narrow();
    build(description.get(), iid, context, help.get(), source.get());
}

win32_com_error::win32_com_error(const win32_error& e, DWORD help_context, REFGUID iid)
    : loc_com_error(from_win32_tag{}, e, help_context, iid)
{}

internal_com_error::internal_com_error(REFGUID iid)
    : loc_com_error(IDS_INTERNAL_ERROR, 1011, iid, static_cast<HRESULT>(0x8000FFFF))
{}

loc_com_error no_open_session_error(REFGUID iid)
{
    return loc_com_error(IDS_NO_OPEN_SESSION, 1002, iid, no_open_session_hresult);
}

HRESULT no_open_session(REFGUID iid) noexcept
{
    try {
        return no_open_session_error(iid).set_error_info();
    } catch (...) {
        return no_open_session_hresult;
    }
}

}  // namespace mrv
