// The registrar on scripts of its own, under a scratch key of HKEY_CURRENT_USER.
#include <windows.h>

#include <gtest/gtest.h>

#include "servers/rs232/registry_script.h"
#include "server_test_support.h"

namespace mrv::test {
namespace {

const std::wstring kScratch = L"Software\\MrvRS232RegistrarTest";

class RegistryScript : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str()); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str()); }

    static HRESULT run(std::wstring_view script, registry_action action,
                       const registry_replacements& replacements = {{L"MODULE", L"C:\\x\\y.dll"}})
    {
        return run_registry_script(script, action, replacements);
    }
    static std::optional<std::wstring> value(const std::wstring& key, const wchar_t* name = nullptr)
    {
        return read_string(HKEY_CURRENT_USER, kScratch + key, name);
    }
    static bool exists(const std::wstring& key)
    {
        return key_exists(HKEY_CURRENT_USER, kScratch + key);
    }
    static void create(const std::wstring& key)
    {
        HKEY h = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, (kScratch + key).c_str(), &h));
        RegCloseKey(h);
    }
};

const wchar_t kScript[] = LR"(
HKEY_CURRENT_USER
{
    NoRemove Software
    {
        NoRemove MrvRS232RegistrarTest
        {
            val Shared = s 'kept key''s value'
            Plain = s 'plain %MODULE% 100%%'
            {
                Child = s 'child'
            }
            ForceRemove {5A3C1E71-2B94-4F0D-8C21-6E7F90A1B2C3} = s 'class'
            {
                InprocServer32 = s '%module%'
                {
                    val ThreadingModel = s 'Both'
                    val Count = d '42'
                }
                'Quoted Name' = s ''
            }
        }
    }
}
)";

TEST_F(RegistryScript, RegistersKeysValuesAndReplacements)
{
    ASSERT_EQ(S_OK, run(kScript, registry_action::register_keys));
    EXPECT_EQ(value(L"", L"Shared"), L"kept key's value");
    EXPECT_EQ(value(L"\\Plain"), L"plain C:\\x\\y.dll 100%");
    EXPECT_EQ(value(L"\\Plain\\Child"), L"child");
    const std::wstring cls = L"\\{5A3C1E71-2B94-4F0D-8C21-6E7F90A1B2C3}";
    EXPECT_EQ(value(cls), L"class");
    EXPECT_EQ(value(cls + L"\\InprocServer32"), L"C:\\x\\y.dll");
    EXPECT_EQ(value(cls + L"\\InprocServer32", L"ThreadingModel"), L"Both");
    EXPECT_EQ(value(cls + L"\\Quoted Name"), L"");
    DWORD count = 0, size = sizeof count;
    EXPECT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_CURRENT_USER, (kScratch + cls + L"\\InprocServer32").c_str(),
                           L"Count", RRF_RT_REG_DWORD, nullptr, &count, &size));
    EXPECT_EQ(42u, count);
}

TEST_F(RegistryScript, ForceRemoveReplacesTheKeyAndUnregisterKeepsForeignKeys)
{
    const std::wstring cls = L"\\{5A3C1E71-2B94-4F0D-8C21-6E7F90A1B2C3}";
    create(cls + L"\\Stale");
    create(L"\\Plain\\Foreign");
    ASSERT_EQ(S_OK, run(kScript, registry_action::register_keys));
    EXPECT_FALSE(exists(cls + L"\\Stale"));

    ASSERT_EQ(S_OK, run(kScript, registry_action::unregister_keys));
    EXPECT_FALSE(exists(cls));
    EXPECT_FALSE(exists(L"\\Plain\\Child"));
    // A plain key stays while it holds a subkey the script does not name.
    EXPECT_TRUE(exists(L"\\Plain\\Foreign"));
    // NoRemove keys stay, without the values the script gave them.
    EXPECT_TRUE(exists(L""));
    EXPECT_EQ(value(L"", L"Shared"), std::nullopt);
    // Unregistering what is already gone succeeds.
    EXPECT_EQ(S_OK, run(kScript, registry_action::unregister_keys));
}

TEST_F(RegistryScript, MalformedScriptsChangeNothing)
{
    const wchar_t* const bad[] = {
        L"HKCU { NoRemove Software { MrvRS232RegistrarTest = s 'x' } ",   // unclosed
        L"HKCU { NoRemove Software { MrvRS232RegistrarTest = s 'x } }",   // unterminated quote
        L"HKCU { NoRemove Software { MrvRS232RegistrarTest = x 'x' } }",  // unknown value type
        L"HKCU { NoRemove Software { MrvRS232RegistrarTest = d 'ten' } }",
        L"HKCU { NoRemove Software { MrvRS232RegistrarTest = s '%UNKNOWN%' } }",
        L"HKXX { NoRemove Software { MrvRS232RegistrarTest } }",
        L"HKCU { NoRemove Software { MrvRS232RegistrarTest { val = s 'x' } } }",
        L"HKCU { NoRemove Software { MrvRS232RegistrarTest } } }",
        L"HKCU",
    };
    for (const wchar_t* script : bad) {
        SCOPED_TRACE(narrow(script));
        EXPECT_EQ(DISP_E_EXCEPTION, run(script, registry_action::register_keys));
        EXPECT_FALSE(exists(L""));
    }
    EXPECT_EQ(S_OK, run(L"", registry_action::register_keys));
}

}  // namespace
}  // namespace mrv::test
