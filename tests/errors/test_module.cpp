#include "test_module.h"

#include <oleauto.h>

#include <gtest/gtest.h>

#include "com/com_ptr.h"
#include "com/unique_any.h"
#include "errors/module_strings.h"
#include "errors/resource_string.h"
#include "resources/string_ids.h"

namespace mrv::test {
namespace {

// The server's process attach, done for this executable, whose resources hold the table.
class server_module_environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        set_module_instance(::GetModuleHandleW(nullptr));
        set_error_source(resource_string(IDS_MODULE_NAME).shared_text());
        set_company_name(resource_string(IDS_COMPANY_NAME).shared_text());
        set_help_file(_bstr_t(help_file_path));
    }
    void TearDown() override
    {
        clear_module_strings();
        ::CoUninitialize();
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new server_module_environment);

}  // namespace

error_fields fields_of(IErrorInfo* info)
{
    error_fields f;
    if (!info)
        return f;
    f.present = true;
    bstr description, help, source;
    info->GetDescription(description.put());
    info->GetGUID(&f.iid);
    info->GetHelpContext(&f.help_context);
    info->GetHelpFile(help.put());
    info->GetSource(source.put());
    auto text = [](const bstr& b) {
        return b ? std::wstring(b.get(), ::SysStringLen(b.get())) : std::wstring();
    };
    f.description = text(description);
    f.help_file = text(help);
    f.source = text(source);
    return f;
}

error_fields take_error_info()
{
    com_ptr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.put()) != S_OK)
        return {};
    return fields_of(info.get());
}

void post_earlier_error()
{
    com_ptr<ICreateErrorInfo> create;
    ASSERT_EQ(S_OK, ::CreateErrorInfo(create.put()));
    create->SetDescription(const_cast<wchar_t*>(L"earlier error"));
    auto info = create.as<IErrorInfo>(IID_IErrorInfo);
    ASSERT_EQ(S_OK, ::SetErrorInfo(0, info.get()));
}

}  // namespace mrv::test
