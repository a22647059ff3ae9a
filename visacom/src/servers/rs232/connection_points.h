#pragma once
// IConnectionPointContainerImpl<T> for a class whose connection-point map is empty: it is a
// container that offers no connection point.
#include <ocidl.h>
#include <olectl.h>

namespace mrv {

// A new enumerator over no connection points (S_OK), E_POINTER for a null result pointer,
// E_OUTOFMEMORY when it cannot be made.
HRESULT create_empty_connection_point_enum(IEnumConnectionPoints** out) noexcept;

template <class T>
class IConnectionPointContainerImpl : public IConnectionPointContainer {
public:
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override
    {
        return create_empty_connection_point_enum(ppEnum);
    }

    STDMETHODIMP FindConnectionPoint(REFIID, IConnectionPoint** ppCP) override
    {
        if (ppCP)
            *ppCP = nullptr;
        return CONNECT_E_NOCONNECTION;
    }
};

}  // namespace mrv
