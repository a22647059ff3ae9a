#include "servers/rs232/connection_points.h"

#include "com/com_object.h"

namespace mrv {
namespace {

class empty_connection_point_enum : public CComObjectRootEx<CComMultiThreadModel>,
                                    public IEnumConnectionPoints {
public:
    using interfaces = interface_map<com_entry<IEnumConnectionPoints>>;

    STDMETHODIMP Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override
    {
        if (fetched)
            *fetched = 0;
        if (!points || (count != 1 && !fetched))
            return E_POINTER;
        return count == 0 ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override { return count == 0 ? S_OK : S_FALSE; }
    STDMETHODIMP Reset() override { return S_OK; }
    STDMETHODIMP Clone(IEnumConnectionPoints** ppEnum) override
    {
        return create_empty_connection_point_enum(ppEnum);
    }
};

}  // namespace

HRESULT create_empty_connection_point_enum(IEnumConnectionPoints** out) noexcept
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    HRESULT hr = CComObject<empty_connection_point_enum>::CreateInstance(
        IID_IEnumConnectionPoints, reinterpret_cast<void**>(out));
    return hr == E_NOINTERFACE ? E_OUTOFMEMORY : hr;
}

}  // namespace mrv
