#pragma once
// _IMessage and _IAsyncMessage: the adapters that let one session class implement both
// IMessage and IAsyncMessage, whose Write and WriteString have identical signatures. Each
// adapter answers its interface's transfer methods by forwarding the arguments unchanged to
// virtual operations it declares after them; the session class implements those.
#include "visacom.h"

namespace mrv {

class _IMessage : public IMessage {
public:
    STDMETHODIMP Read(long count, SAFEARRAY** buf) override { return IMessage_Read(count, buf); }
    STDMETHODIMP ReadString(long count, BSTR* pVal) override
    {
        return IMessage_ReadString(count, pVal);
    }
    STDMETHODIMP Write(SAFEARRAY** buf, long count, long* retCount) override
    {
        return IMessage_Write(buf, count, retCount);
    }
    STDMETHODIMP WriteString(BSTR message, long* pRetCount) override
    {
        return IMessage_WriteString(message, pRetCount);
    }

    virtual HRESULT IMessage_Read(long count, SAFEARRAY** buf) = 0;
    virtual HRESULT IMessage_ReadString(long count, BSTR* pVal) = 0;
    virtual HRESULT IMessage_Write(SAFEARRAY** buf, long count, long* retCount) = 0;
    virtual HRESULT IMessage_WriteString(BSTR message, long* pRetCount) = 0;
};

class _IAsyncMessage : public IAsyncMessage {
public:
    STDMETHODIMP Read(long count, long* jobId) override { return IAsyncMessage_Read(count, jobId); }
    STDMETHODIMP Write(SAFEARRAY** buf, long count, long* jobId) override
    {
        return IAsyncMessage_Write(buf, count, jobId);
    }
    STDMETHODIMP WriteString(BSTR message, long* jobId) override
    {
        return IAsyncMessage_WriteString(message, jobId);
    }
    // Terminate is implemented by the session class directly.

    virtual HRESULT IAsyncMessage_Read(long count, long* jobId) = 0;
    virtual HRESULT IAsyncMessage_Write(SAFEARRAY** buf, long count, long* jobId) = 0;
    virtual HRESULT IAsyncMessage_WriteString(BSTR message, long* jobId) = 0;
};

}  // namespace mrv
