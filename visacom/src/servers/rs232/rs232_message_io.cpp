// IMessage transfers of the serial session: Read, ReadString, Write and WriteString.
//
// Each byte transfer is one VISA call; the server never splits, loops or retries: when a read
// ends is up to the VISA library and the session's attributes. The bytes cross between the
// caller's SAFEARRAY and VISA with at most one copy: a write sends straight from the caller's
// array (locked for the call), a read lands in a new zero-filled array of the requested size,
// which becomes the result as it is when the count was reached and is otherwise copied once into
// an array of the returned size. The text transfers are complete nested calls of the byte
// transfers through the _IMessage virtual operations (their own frame, trace records and last
// status), with text in the system ANSI code page on the VISA side.
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "com/ansi_text.h"
#include "com/com_error.h"
#include "errors/resource_string.h"
#include "errors/visa_error.h"
#include "servers/rs232/message_text.h"
#include "servers/rs232/rs232_svr.h"
#include "session/safearray_bytes.h"

namespace mrv {

namespace {

constexpr DWORD kHelpBadArraySize = 1008;
constexpr DWORD kHelpTransfer = 1009;  // Read and Write: SAFEARRAY and Win32 failures
constexpr DWORD kHelpBadWriteCount = 1010;
constexpr DWORD kHelpWriteString = 1012;  // WriteString: SAFEARRAY and Win32 failures

constexpr interface_frame kMessageFrame{&IID_IMessage,
                                        "IMessage",
                                        {convert_visa(IID_IMessage),
                                         convert_win32(IID_IMessage, kHelpTransfer),
                                         pointer_error(), internal_error(IID_IMessage)}};
constexpr interface_frame kReadStringFrame =
    kMessageFrame.with({pointer_error(), internal_error(IID_IMessage)});
constexpr interface_frame kWriteFrame = kMessageFrame.with(
    {report_loc_com(), convert_visa(IID_IMessage), convert_win32(IID_IMessage, kHelpTransfer),
     pointer_error(), unexpected_error()});
constexpr interface_frame kWriteStringFrame =
    kMessageFrame.with({report_loc_com(), convert_win32(IID_IMessage, kHelpWriteString),
                        pointer_error(), internal_error(IID_IMessage)});

}  // namespace

HRESULT CRS232Svr::IMessage_Read(long count, SAFEARRAY** buf)
{
    return run_framed(*this, kMessageFrame, "Read",
                      {param::in("count", count), param::out("**buf", buf)}, [&]() -> HRESULT {
                          if (count < 1)
                              return E_INVALIDARG;
                          const auto requested = static_cast<ViUInt32>(count);
                          safearray array = new_byte_array(requested);
                          ViUInt32 returned = 0;
                          ViStatus status = VI_SUCCESS;
                          {
                              // A failed read drops the array and its bytes.
                              safearray_data data(array.get());
                              status = driver().viRead(data.get(), requested, &returned);
                              data.release();
                          }
                          returned = std::min(returned, requested);
                          if (returned > 0) {
                              if (returned < requested)
                                  array = byte_array_copy(array.get(), returned);
                              *buf = array.release();
                          }
                          return hresult_of_status(status);
                      });
}

HRESULT CRS232Svr::IMessage_ReadString(long count, BSTR* pVal)
{
    return run_framed(*this, kReadStringFrame, "ReadString",
                      {param::in("count", count), param::out("*pVal", pVal)}, [&]() -> HRESULT {
                          if (count < 1)
                              return E_INVALIDARG;
                          safearray array;
                          const HRESULT hr = IMessage_Read(count, array.put());
                          if (FAILED(hr))
                              return hr;
                          // No bytes means no array: the bound calls fail (internal error).
                          LONG lower = 0, upper = 0;
                          check_hresult(::SafeArrayGetLBound(array.get(), 1, &lower));
                          check_hresult(::SafeArrayGetUBound(array.get(), 1, &upper));
                          const auto length = static_cast<std::size_t>(upper - lower + 1);
                          safearray_data data(array.get());
                          const char* text = reinterpret_cast<const char*>(data.get());
                          // The text ends at its first zero byte.
                          const auto end = std::find(text, text + length, '\0');
                          bstr result(new_bstr(std::string_view(text, end - text)));
                          data.release();
                          array.reset();
                          *pVal = result.release();
                          return hr;
                      });
}

HRESULT CRS232Svr::IMessage_Write(SAFEARRAY** buf, long count, long* retCount)
{
    return run_framed(
        *this, kWriteFrame, "Write",
        {param::in("**buf", buf), param::in("count", count), param::out("retCount", retCount)},
        [&]() -> HRESULT {
            const long long length = vector_length(*buf);
            if (length < 1 || length < count)
                throw loc_com_error(IDS_BAD_ARRAY_SIZE, kHelpBadArraySize, IID_IMessage,
                                    E_INVALIDARG);
            if (count == 0)
                throw loc_com_error(IDS_BAD_WRITE_COUNT, kHelpBadWriteCount, IID_IMessage,
                                    E_INVALIDARG);
            if (count < 0)
                return E_UNEXPECTED;
            // The first count bytes of the data, whatever the element type.
            safearray_data data(*buf);
            ViUInt32 written = 0;
            driver().viWrite(data.get(), static_cast<ViUInt32>(count), &written);
            data.release();
            *retCount = static_cast<long>(written);
            return S_OK;
        });
}

HRESULT CRS232Svr::IMessage_WriteString(BSTR message, long* pRetCount)
{
    return run_framed(
        *this, kWriteStringFrame, "WriteString",
        {param::in("Message", param::text_or_null(message)), param::out("*pRetCount", pRetCount)},
        [&] {
            return write_text(message, [&](SAFEARRAY** array, long length) {
                return IMessage_Write(array, length, pRetCount);
            });
        });
}

}  // namespace mrv
