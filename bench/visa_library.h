#pragma once
// The VISA library that the server loaded into this process, called directly: the entries are
// taken from the already loaded module, so both sides of the benchmark use the same code. The
// benchmark holds a reference of its own, so the module stays loaded when the server's sessions
// are gone.
#include <windows.h>

#include <visa.h>

#include "simvisa_control.h"
#include "com/unique_any.h"

namespace bench {

class visa_library {
public:
    // The module must already be loaded (by the server's Init).
    bool bind()
    {
        HMODULE loaded = nullptr;
        if (!GetModuleHandleExW(0, L"visa32.dll", &loaded))
            return false;
        module_.reset(loaded);
        return get(open_default_rm, "viOpenDefaultRM") && get(open, "viOpen") &&
               get(close, "viClose") && get(get_attribute, "viGetAttribute") &&
               get(set_attribute, "viSetAttribute") && get(read, "viRead") &&
               get(write, "viWrite") && get(clear, "viClear") &&
               get(device_send, "simvisa_device_send") && get(read_async, "viReadAsync") &&
               get(write_async, "viWriteAsync") && get(enable_event, "viEnableEvent") &&
               get(wait_on_event, "viWaitOnEvent");
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
    ViStatus(_VI_FUNCH* read_async)(ViSession, ViPBuf, ViUInt32, ViPJobId) = nullptr;
    ViStatus(_VI_FUNCH* write_async)(ViSession, ViConstBuf, ViUInt32, ViPJobId) = nullptr;
    ViStatus(_VI_FUNCH* enable_event)(ViSession, ViEventType, ViUInt16, ViEventFilter) = nullptr;
    ViStatus(_VI_FUNCH* wait_on_event)(ViSession, ViEventType, ViUInt32, ViPEventType,
                                       ViPEvent) = nullptr;

private:
    template <class F>
    bool get(F& entry, const char* name)
    {
        entry = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
        return entry != nullptr;
    }

    mrv::unique_hmodule module_;
};

}  // namespace bench
