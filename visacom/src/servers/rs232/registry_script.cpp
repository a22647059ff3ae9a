#include "servers/rs232/registry_script.h"

#include "com/unique_any.h"

#include <cwctype>
#include <new>
#include <optional>

namespace mrv {
namespace {

// A malformed script or a failing registry call; caught in the two entry points only.
struct script_failure {
    HRESULT hr;
};

[[noreturn]] void malformed()
{
    throw script_failure{DISP_E_EXCEPTION};
}

void check_registry(LSTATUS status)
{
    if (status != ERROR_SUCCESS)
        throw script_failure{HRESULT_FROM_WIN32(status)};
}

bool same_word(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Tokens

struct token {
    enum kind_t { word, quoted, open_brace, close_brace, equals, end } kind;
    std::wstring text;
};

class tokenizer {
public:
    tokenizer(std::wstring_view text, const registry_replacements& replacements)
        : text_(text), replacements_(replacements)
    {}

    token next()
    {
        while (pos_ < text_.size() && std::iswspace(text_[pos_]))
            ++pos_;
        if (pos_ == text_.size())
            return {token::end, {}};
        if (text_[pos_] == L'\'')
            return {token::quoted, substitute(read_quoted())};
        // Tokens are separated by white space, so "{" and "}" start a name such as a GUID
        // only when written without a space after them.
        size_t start = pos_;
        while (pos_ < text_.size() && !std::iswspace(text_[pos_]) && text_[pos_] != L'\'')
            ++pos_;
        std::wstring_view word = text_.substr(start, pos_ - start);
        if (word == L"{")
            return {token::open_brace, {}};
        if (word == L"}")
            return {token::close_brace, {}};
        if (word == L"=")
            return {token::equals, {}};
        return {token::word, substitute(word)};
    }

private:
    std::wstring read_quoted()
    {
        std::wstring r;
        for (++pos_;; ++pos_) {
            if (pos_ == text_.size())
                malformed();
            if (text_[pos_] == L'\'') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == L'\'') {
                    r.push_back(L'\'');
                    ++pos_;
                    continue;
                }
                ++pos_;
                return r;
            }
            r.push_back(text_[pos_]);
        }
    }

    std::wstring substitute(std::wstring_view s) const
    {
        std::wstring r;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] != L'%') {
                r.push_back(s[i]);
                continue;
            }
            size_t close = s.find(L'%', i + 1);
            if (close == std::wstring_view::npos)
                malformed();
            std::wstring_view name = s.substr(i + 1, close - i - 1);
            if (name.empty()) {
                r.push_back(L'%');
            } else {
                const std::wstring* value = nullptr;
                for (const auto& [n, v] : replacements_)
                    if (same_word(n, name))
                        value = &v;
                if (!value)
                    malformed();
                r += *value;
            }
            i = close;
        }
        return r;
    }

    std::wstring_view text_;
    const registry_replacements& replacements_;
    size_t pos_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Script tree

struct reg_value {
    DWORD type = REG_SZ;
    std::wstring text;
    DWORD number = 0;
};

struct named_value {
    std::wstring name;
    reg_value value;
};

struct reg_key {
    enum removal_t { normal, force_remove, no_remove } removal = normal;
    std::wstring name;
    std::optional<reg_value> default_value;
    std::vector<named_value> values;
    std::vector<reg_key> children;
};

struct reg_root {
    HKEY key;
    std::vector<reg_key> children;
};

HKEY root_key(std::wstring_view name)
{
    static const struct {
        const wchar_t* short_name;
        const wchar_t* long_name;
        HKEY key;
    } roots[] = {
        {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKU", L"HKEY_USERS", HKEY_USERS},
    };
    for (const auto& r : roots)
        if (same_word(name, r.short_name) || same_word(name, r.long_name))
            return r.key;
    malformed();
}

class parser {
public:
    explicit parser(tokenizer& t) : tokens_(t) { advance(); }

    std::vector<reg_root> script()
    {
        std::vector<reg_root> roots;
        while (current_.kind != token::end) {
            reg_root root{root_key(take_name()), {}};
            expect(token::open_brace);
            while (current_.kind != token::close_brace)
                root.children.push_back(key());
            advance();
            roots.push_back(std::move(root));
        }
        return roots;
    }

private:
    void advance() { current_ = tokens_.next(); }

    void expect(token::kind_t kind)
    {
        if (current_.kind != kind)
            malformed();
        advance();
    }

    std::wstring take_name()
    {
        if (current_.kind != token::word && current_.kind != token::quoted)
            malformed();
        std::wstring name = std::move(current_.text);
        advance();
        if (name.empty())
            malformed();
        return name;
    }

    bool at_keyword(const wchar_t* word) const
    {
        return current_.kind == token::word && same_word(current_.text, word);
    }

    reg_value value()
    {
        expect(token::equals);
        if (current_.kind != token::word)
            malformed();
        reg_value v;
        if (same_word(current_.text, L"s")) {
            advance();
            if (current_.kind != token::quoted)
                malformed();
            v.text = current_.text;
        } else if (same_word(current_.text, L"d")) {
            advance();
            if (current_.kind != token::quoted && current_.kind != token::word)
                malformed();
            v.type = REG_DWORD;
            wchar_t* end = nullptr;
            unsigned long n = std::wcstoul(current_.text.c_str(), &end, 0);
            if (current_.text.empty() || *end != L'\0' || n > 0xFFFFFFFFul)
                malformed();
            v.number = static_cast<DWORD>(n);
        } else {
            malformed();
        }
        advance();
        return v;
    }

    reg_key key()
    {
        reg_key k;
        if (at_keyword(L"ForceRemove")) {
            k.removal = reg_key::force_remove;
            advance();
        } else if (at_keyword(L"NoRemove")) {
            k.removal = reg_key::no_remove;
            advance();
        }
        k.name = take_name();
        if (current_.kind == token::equals)
            k.default_value = value();
        if (current_.kind != token::open_brace)
            return k;
        advance();
        while (current_.kind != token::close_brace) {
            if (at_keyword(L"val")) {
                advance();
                named_value nv;
                nv.name = take_name();
                nv.value = value();
                k.values.push_back(std::move(nv));
            } else {
                k.children.push_back(key());
            }
        }
        advance();
        return k;
    }

    tokenizer& tokens_;
    token current_;
};

// ---------------------------------------------------------------------------------------------
// Applying the tree

void write_value(HKEY key, const wchar_t* name, const reg_value& v)
{
    if (v.type == REG_DWORD) {
        check_registry(RegSetValueExW(key, name, 0, REG_DWORD,
                                      reinterpret_cast<const BYTE*>(&v.number), sizeof v.number));
    } else {
        check_registry(RegSetValueExW(key, name, 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(v.text.c_str()),
                                      static_cast<DWORD>((v.text.size() + 1) * sizeof(wchar_t))));
    }
}

void delete_tree(HKEY parent, const std::wstring& name)
{
    // With a subkey name, RegDeleteTreeW removes that key itself as well.
    LSTATUS s = RegDeleteTreeW(parent, name.c_str());
    if (s != ERROR_FILE_NOT_FOUND)
        check_registry(s);
}

void register_key(HKEY parent, const reg_key& k)
{
    if (k.removal == reg_key::force_remove)
        delete_tree(parent, k.name);
    unique_regkey h;
    check_registry(RegCreateKeyExW(parent, k.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_READ | KEY_WRITE, nullptr, h.put(), nullptr));
    if (k.default_value)
        write_value(h.get(), nullptr, *k.default_value);
    for (const named_value& nv : k.values)
        write_value(h.get(), nv.name.c_str(), nv.value);
    for (const reg_key& child : k.children)
        register_key(h.get(), child);
}

void unregister_key(HKEY parent, const reg_key& k)
{
    if (k.removal == reg_key::force_remove) {
        delete_tree(parent, k.name);
        return;
    }
    unique_regkey h;
    LSTATUS s = RegOpenKeyExW(parent, k.name.c_str(), 0, KEY_READ | KEY_WRITE, h.put());
    if (s == ERROR_FILE_NOT_FOUND)
        return;
    check_registry(s);
    for (const reg_key& child : k.children)
        unregister_key(h.get(), child);
    if (k.removal == reg_key::no_remove) {
        for (const named_value& nv : k.values) {
            s = RegDeleteValueW(h.get(), nv.name.c_str());
            if (s != ERROR_FILE_NOT_FOUND)
                check_registry(s);
        }
        return;
    }
    DWORD subkeys = 0;
    check_registry(RegQueryInfoKeyW(h.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr));
    if (subkeys == 0) {
        h.reset();
        s = RegDeleteKeyW(parent, k.name.c_str());
        if (s != ERROR_FILE_NOT_FOUND)
            check_registry(s);
    }
}

}  // namespace

HRESULT run_registry_script(std::wstring_view script, registry_action action,
                            const registry_replacements& replacements) noexcept
{
    try {
        tokenizer tokens(script, replacements);
        std::vector<reg_root> roots = parser(tokens).script();
        for (const reg_root& root : roots)
            for (const reg_key& k : root.children) {
                if (action == registry_action::register_keys)
                    register_key(root.key, k);
                else
                    unregister_key(root.key, k);
            }
        return S_OK;
    } catch (const script_failure& f) {
        return f.hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT run_registry_resource(HMODULE module, UINT id, registry_action action,
                              const registry_replacements& replacements) noexcept
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
    if (!found)
        return HRESULT_FROM_WIN32(GetLastError());
    HGLOBAL loaded = LoadResource(module, found);
    const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    DWORD size = SizeofResource(module, found);
    if (!text)
        return HRESULT_FROM_WIN32(GetLastError());
    try {
        std::wstring wide;
        if (size != 0) {
            int n = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), nullptr, 0);
            if (n <= 0)
                return HRESULT_FROM_WIN32(GetLastError());
            wide.resize(static_cast<size_t>(n));
            MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), wide.data(), n);
        }
        // A resource compiler may pad the text with NULs.
        while (!wide.empty() && wide.back() == L'\0')
            wide.pop_back();
        return run_registry_script(wide, action, replacements);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace mrv
