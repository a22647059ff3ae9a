#pragma once
// The class object of a coclass: a class factory that the module caches once created. The
// cache's own reference does not lock the module, so a DLL whose only object is its cached
// factory can still be unloaded; every further reference (a client holding the factory) does.
#include <objbase.h>

#include "com/com_object.h"

namespace mrv {

// Makes a new object of the class and hands it out as riid (CComObject<T>::CreateInstance).
using instance_creator = HRESULT (*)(REFIID riid, void** ppv);

class cached_class_factory final : public CComObjectRootEx<CComMultiThreadModel>,
                                   public IClassFactory {
public:
    // A new factory for `creator`, handed out as riid. E_OUTOFMEMORY when it cannot be made
    // or does not answer riid, or the failure of making its lock.
    static HRESULT create(instance_creator creator, REFIID riid, void** ppv) noexcept;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // Aggregation is refused.
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

    using interfaces = interface_map<com_entry<IClassFactory>>;

private:
    explicit cached_class_factory(instance_creator creator) noexcept : creator_(creator) {}
    ~cached_class_factory() = default;

    instance_creator creator_;
};

}  // namespace mrv
