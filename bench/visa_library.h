#pragma once
// The VISA library that the server loaded into this process, called directly: the entries are
// taken from the already loaded module, so both sides of the benchmark use the same code.
#include <windows.h>

#include <visa.h>

#include "simvisa_control.h"

namespace bench {

class visa_library {
public:
    // The module must already be loaded (by the server's Init).
    bool bind()
    {
        module_ = GetModuleHandleW(L"visa32.dll");
        return module_ && get(open_default_rm, "viOpenDefaultRM") && get(open, "viOpen") &&
               get(close, "viClose") && get(get_attribute, "viGetAttribute") &&
               get(set_attribute, "viSetAttribute") && get(read, "viRead") &&
               get(write, "viWrite") && get(clear, "viClear") &&
               get(device_send, "simvisa_device_send");
    }

    ViStatus(_VI_FUNCH* open_default_rm)(ViPSession) = nullptr;
    ViStatus(_VI_FUNCH* open)(ViSession, ViConstRsrc, ViAccessMode, ViUInt32, ViPSession) = nullptr;
    ViStatus(_VI_FUNCH* close)(ViObject) = nullptr;
    ViStatus(_VI_FUNCH* get_attribute)(ViObject, ViAttr, void*) = nullptr;
    ViStatus(_VI_FUNCH* set_attribute)(ViObject, ViAttr, ViAttrState) = nullptr;
    ViStatus(_VI_FUNCH* read)(ViSession, ViPBuf, ViUInt32, ViPUInt32) = nullptr;
    ViStatus(_VI_FUNCH* write)(ViSession, ViConstBuf, ViUInt32, ViPUInt32) = nullptr;
    ViStatus(_VI_FUNCH* clear)(ViSession) = nullptr;
    simvisa_device_send_fn device_send = nullptr;

private:
    template <class F>
    bool get(F& entry, const char* name)
    {
        entry = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
        return entry != nullptr;
    }

    HMODULE module_ = nullptr;
};

}  // namespace bench
