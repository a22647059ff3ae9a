#pragma once
// A base for C++ event handlers (IEventHandler, installed with IEventManager::InstallHandler).
//
// It answers IUnknown and IEventHandler and keeps a thread-safe reference count; the object lives
// on the heap and deletes itself with its last Release, since the server releases a handler
// whenever it pleases. A derived class implements HandleEvent.
//
// A handler made free-threaded aggregates the system's free-threaded marshaler: the server's
// dispatch thread then calls it directly, on that thread, whatever apartment made it. Otherwise
// it belongs to the apartment that made it, and the server's calls reach it through COM's
// marshaling on that apartment's thread, which must serve its message queue meanwhile.
#include <windows.h>
#include <objbase.h>

#include "visacom.h"

class MrvEventHandler : public IEventHandler {
public:
    MrvEventHandler(const MrvEventHandler&) = delete;
    MrvEventHandler& operator=(const MrvEventHandler&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEventHandler)) {
            *out = static_cast<IEventHandler*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(iid, IID_IMarshal) && marshaler_)
            return marshaler_->QueryInterface(iid, out);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        return static_cast<ULONG>(InterlockedIncrement(&references_));
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // The references held now, the maker's included: 1 once the server has let go of it.
    LONG references() const { return InterlockedCompareExchange(&references_, 0, 0); }
    bool free_threaded() const { return marshaler_ != nullptr; }

protected:
    // The new object holds one reference, the maker's.
    explicit MrvEventHandler(bool free_threaded)
    {
        if (free_threaded)
            CoCreateFreeThreadedMarshaler(static_cast<IEventHandler*>(this), &marshaler_);
    }
    virtual ~MrvEventHandler()
    {
        if (marshaler_)
            marshaler_->Release();
    }

private:
    mutable LONG references_ = 1;
    IUnknown* marshaler_ = nullptr;
};
