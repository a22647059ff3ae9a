#pragma once
// IProvideClassInfo2Impl: describes the object's coclass from the server's own type library,
// which the module loads once per process (module_type_info).
#include <ocidl.h>

#include "servers/rs232/rs232_module.h"

namespace mrv {

template <const CLSID* Coclass, const IID* SourceIid, const GUID* Libid, WORD Major, WORD Minor>
class IProvideClassInfo2Impl : public IProvideClassInfo2 {
public:
    STDMETHODIMP GetClassInfo(ITypeInfo** ppTI) override
    {
        if (!ppTI)
            return E_POINTER;
        *ppTI = nullptr;
        return rs232::module_type_info(*Libid, Major, Minor, *Coclass, ppTI);
    }

    // Only the default source interface can be asked for, and the class has none.
    STDMETHODIMP GetGUID(DWORD kind, GUID* pGUID) override
    {
        if (!pGUID)
            return E_POINTER;
        *pGUID = *SourceIid;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
            return E_INVALIDARG;
        return IsEqualGUID(*SourceIid, GUID_NULL) ? E_FAIL : S_OK;
    }
};

}  // namespace mrv
