#pragma once
// The COM object foundation: CComObjectRootEx (reference count and object lock),
// CComCoClass (the class's CLSID) and CComObject<T> (the most derived class that implements
// IUnknown for T through T's interface map and keeps the module locked while it lives).
//
//     class CFoo : public CComObjectRootEx<CComMultiThreadModel>, public IFoo {
//     public:
//         using interfaces = interface_map<com_entry<IFoo>>;
//         ...IFoo methods...
//     };
//     HRESULT hr = CComObject<CFoo>::CreateInstance(IID_IFoo, &pv);
#include <unknwn.h>

#include <atomic>
#include <climits>
#include <new>

#include "com/critical_section.h"
#include "com/interface_map.h"
#include "com/module_lock.h"

namespace mrv {

template <class ThreadModel>
class CComObjectRootEx {
public:
    using _ThreadModel = ThreadModel;

    CComObjectRootEx() noexcept = default;
    CComObjectRootEx(const CComObjectRootEx&) = delete;
    CComObjectRootEx& operator=(const CComObjectRootEx&) = delete;

    long InternalAddRef() noexcept { return ++m_dwRef; }
    long InternalRelease() noexcept { return --m_dwRef; }

    // The object lock: re-entrant, held by every framed method of the object.
    void Lock() noexcept { m_critsec.Lock(); }
    void Unlock() noexcept { m_critsec.Unlock(); }
    bool lock_initialized() const noexcept { return m_critsec.initialized(); }

    // Run by CComObject after construction: makes the object lock.
    HRESULT _AtlInitialConstruct() noexcept { return m_critsec.Init(); }

    // Hooks a class may hide with its own: after the lock exists, and before destruction.
    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}

protected:
    std::atomic<long> m_dwRef{0};
    typename ThreadModel::CriticalSection m_critsec;
};

template <class T, const CLSID* pclsid>
class CComCoClass {
public:
    static const CLSID& GetObjectCLSID() noexcept { return *pclsid; }
};

template <class Base>
class CComObject final : public Base {
public:
    CComObject() { module_lock(); }

    // While FinalRelease runs the count is far below zero, so AddRef/Release pairs made during
    // teardown can never bring it back to zero and delete the object twice.
    ~CComObject()
    {
        this->m_dwRef = -(LONG_MAX / 2);
        this->FinalRelease();
        module_unlock();
    }

    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(this->InternalAddRef()); }
    STDMETHOD_(ULONG, Release)() override
    {
        long n = this->InternalRelease();
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override
    {
        return query_interface(static_cast<Base*>(this), riid, ppv);
    }

    // A new object with reference count 0, its lock made and FinalConstruct run.
    static HRESULT CreateInstance(CComObject** pp) noexcept
    {
        if (!pp)
            return E_POINTER;
        *pp = nullptr;
        CComObject* p = nullptr;
        try {
            p = new (std::nothrow) CComObject();
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        if (!p)
            return E_OUTOFMEMORY;
        HRESULT hr = p->_AtlInitialConstruct();
        if (SUCCEEDED(hr)) {
            try {
                // A reference held across FinalConstruct keeps the object alive through any
                // AddRef/Release pair made there.
                p->InternalAddRef();
                hr = p->FinalConstruct();
                p->InternalRelease();
            } catch (const std::bad_alloc&) {
                p->InternalRelease();
                hr = E_OUTOFMEMORY;
            } catch (...) {
                p->InternalRelease();
                hr = E_UNEXPECTED;
            }
        }
        if (FAILED(hr)) {
            delete p;
            return hr;
        }
        *pp = p;
        return S_OK;
    }

    // A new object handed out as `riid` (one reference, the caller's); destroyed again when
    // it cannot be made or does not answer riid.
    static HRESULT CreateInstance(REFIID riid, void** ppv) noexcept
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        CComObject* p = nullptr;
        HRESULT hr = CreateInstance(&p);
        if (FAILED(hr))
            return hr;
        p->InternalAddRef();
        hr = p->QueryInterface(riid, ppv);
        p->Release();
        return hr;
    }
};

}  // namespace mrv
