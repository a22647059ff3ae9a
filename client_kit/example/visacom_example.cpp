// visacom_example: a serial VISA COM session from a client program's point of view.
//
//   visacom_example.exe [RESOURCE]        default ASRL1::INSTR
//
// It creates a session by ProgID, opens the port with an option string, queries the instrument
// for its identity, reads the port's settings back, and then shows how a failure reaches the
// client: an HRESULT plus an error object with a description and a source. Exit code 0 when every
// step behaved as shown.
//
// Build: compile with visacom_i.c and MrvRS232_i.c (the client kit's include folder), link ole32,
// oleaut32 and uuid. It uses only COM and the Windows SDK's WRL ComPtr.
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "MrvRS232_client.h"

using Microsoft::WRL::ComPtr;

namespace {

// A BSTR owned by this scope.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : b_(SysAllocString(text)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }
    BSTR get() const { return b_; }
    BSTR* put()
    {
        SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }
    std::wstring text() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
};

// COM for this thread. The server's threading model is "Both": a multithreaded apartment (as
// here) and a single-threaded one are equally fine.
struct ComApartment {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ~ComApartment()
    {
        if (SUCCEEDED(hr))
            CoUninitialize();
    }
};

// Prints a failed call's HRESULT and, when the object says it posts error objects for the
// interface, the error object's description and source.
void report(const char* call, HRESULT hr, IUnknown* object, REFIID iid)
{
    std::printf("%s failed: HRESULT 0x%08lX\n", call, static_cast<unsigned long>(hr));
    ComPtr<ISupportErrorInfo> support;
    if (!object || FAILED(object->QueryInterface(IID_PPV_ARGS(&support))) ||
        support->InterfaceSupportsErrorInfo(iid) != S_OK)
        return;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return;
    Bstr description;
    Bstr source;
    info->GetDescription(description.put());
    info->GetSource(source.put());
    std::printf("  description: %ls\n  source: %ls\n", description.text().c_str(),
                source.text().c_str());
}

HRESULT create_session(ComPtr<IVisaSession>& session)
{
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(MRVRS232_PROGID, &clsid);
    if (FAILED(hr)) {
        report("CLSIDFromProgID", hr, nullptr, GUID_NULL);
        return hr;
    }
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVisaSession,
                          reinterpret_cast<void**>(session.ReleaseAndGetAddressOf()));
    if (FAILED(hr))
        report("CoCreateInstance", hr, nullptr, GUID_NULL);
    return hr;
}

// Opens the port with an option string, queries *IDN?, and reads the settings back.
bool talk(const wchar_t* resource)
{
    ComPtr<IVisaSession> session;
    if (FAILED(create_session(session)))
        return false;
    Bstr name(resource);
    Bstr options(L"BaudRate = 9600 ; DataBits = 8 ; Parity = ASRL_PAR_NONE ; "
                 L"StopBits = ASRL_STOP_ONE ; EndOut = ASRL_END_TERMCHAR");
    HRESULT hr = session->Init(name.get(), NO_LOCK, 2000, options.get());
    if (FAILED(hr)) {
        report("Init", hr, session.Get(), IID_IVisaSession);
        return false;
    }
    std::printf("opened %ls\n", resource);

    ComPtr<IMessage> message;
    ComPtr<ISerial> serial;
    if (FAILED(session.As(&message)) || FAILED(session.As(&serial)))
        return false;
    long written = 0;
    // EndOut = ASRL_END_TERMCHAR: the session ends each write with the termination character.
    Bstr query(L"*IDN?");
    hr = message->WriteString(query.get(), &written);
    Bstr answer;
    if (SUCCEEDED(hr))
        hr = message->ReadString(256, answer.put());
    if (FAILED(hr)) {
        report("*IDN? query", hr, message.Get(), IID_IMessage);
        return false;
    }
    std::wstring identity = answer.text();
    while (!identity.empty() && (identity.back() == L'\n' || identity.back() == L'\r'))
        identity.pop_back();
    std::printf("*IDN? -> %ls\n", identity.c_str());

    long baud = 0;
    short data_bits = 0;
    SerialParity parity{};
    SerialStopBits stop_bits{};
    Bstr option_string;
    if (FAILED(hr = serial->get_BaudRate(&baud)) || FAILED(hr = serial->get_DataBits(&data_bits)) ||
        FAILED(hr = serial->get_Parity(&parity)) || FAILED(hr = serial->get_StopBits(&stop_bits)) ||
        FAILED(hr = session->get_OptionString(option_string.put()))) {
        report("reading the settings", hr, serial.Get(), IID_ISerial);
        return false;
    }
    std::printf("line: %ld baud, %d data bits, parity %d, stop bits %d/10\n", baud, data_bits,
                static_cast<int>(parity), static_cast<int>(stop_bits));
    std::printf("option string: %ls\n", option_string.text().c_str());
    return SUCCEEDED(session->Close());
}

// A resource that does not exist: Init fails with an HRESULT and an error object.
bool show_failure()
{
    ComPtr<IVisaSession> session;
    if (FAILED(create_session(session)))
        return false;
    Bstr name(L"ASRL99::INSTR");
    Bstr options(L"");
    const HRESULT hr = session->Init(name.get(), NO_LOCK, 2000, options.get());
    if (SUCCEEDED(hr)) {
        std::printf("Init(ASRL99::INSTR) unexpectedly succeeded\n");
        return false;
    }
    report("Init(ASRL99::INSTR)", hr, session.Get(), IID_IVisaSession);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    ComApartment com;
    if (FAILED(com.hr)) {
        std::printf("CoInitializeEx failed: 0x%08lX\n", static_cast<unsigned long>(com.hr));
        return 1;
    }
    const bool talked = talk(argc > 1 ? argv[1] : L"ASRL1::INSTR");
    const bool failed_as_shown = show_failure();
    std::printf("%s\n", talked && failed_as_shown ? "done" : "FAILED");
    return talked && failed_as_shown ? 0 : 1;
}
