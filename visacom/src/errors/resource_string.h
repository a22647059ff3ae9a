#pragma once
// resource_string: a text of the server's string table (LoadStringA on the module instance),
// loaded on first use. Copies share the loaded text.
#include <windows.h>

#include "com/bstr_t.h"

namespace mrv {

class resource_string {
public:
    static constexpr UINT no_fallback = 0xFFFFFFFFu;

    explicit resource_string(UINT id, UINT fallback_id = no_fallback) noexcept
        : id_(id), fallback_(fallback_id)
    {}
    virtual ~resource_string() = default;

    // The text ("" while neither id yields one; the next use then tries again). Texts longer
    // than 259 characters are cut to 259.
    const char* text();
    const wchar_t* wide_text();
    _bstr_t shared_text();
    bool loaded() const noexcept { return loaded_; }

    // Replaces the text by the text formatted with FormatMessage inserts ("%1", "%2!i!" ...):
    // the low byte of `flags` is the maximum line width; the arguments follow in insert order.
    // On failure the text stays as it was.
    resource_string& format(DWORD flags, ...);

private:
    void load();

    UINT id_;
    UINT fallback_;
    bool loaded_ = false;
    _bstr_t text_;
};

}  // namespace mrv
