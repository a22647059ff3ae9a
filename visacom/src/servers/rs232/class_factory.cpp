#include "servers/rs232/class_factory.h"

#include <new>

#include "com/module_lock.h"

namespace mrv {

HRESULT cached_class_factory::create(instance_creator creator, REFIID riid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    auto* factory = new (std::nothrow) cached_class_factory(creator);
    if (!factory)
        return E_OUTOFMEMORY;
    HRESULT hr = factory->_AtlInitialConstruct();
    if (SUCCEEDED(hr))
        hr = factory->QueryInterface(riid, ppv);
    if (FAILED(hr)) {
        delete factory;
        return hr == E_NOINTERFACE ? E_OUTOFMEMORY : hr;
    }
    return S_OK;
}

STDMETHODIMP cached_class_factory::QueryInterface(REFIID riid, void** ppv)
{
    return query_interface(this, riid, ppv);
}

// The first reference is the module's cache; the module is locked while anyone else holds one.
STDMETHODIMP_(ULONG) cached_class_factory::AddRef()
{
    long n = InternalAddRef();
    if (n == 2)
        module_lock();
    return static_cast<ULONG>(n);
}

STDMETHODIMP_(ULONG) cached_class_factory::Release()
{
    long n = InternalRelease();
    if (n == 1)
        module_unlock();
    else if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP cached_class_factory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return creator_(riid, ppv);
}

STDMETHODIMP cached_class_factory::LockServer(BOOL lock)
{
    if (lock)
        module_lock();
    else
        module_unlock();
    return S_OK;
}

}  // namespace mrv
