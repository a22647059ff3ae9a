// IAsyncMessage jobs of the serial session: Read, Write, WriteString and Terminate.
//
// Each job has a buffer of its own, of exactly the transfer's size, which the session registers
// in its event state's job-buffer registry (by address, with a placeholder job ID) before the
// VISA library starts the job; the library writes the job ID straight into the caller's
// variable, and the entry then gets it too. The completion event claims the buffer by address,
// so a completion that arrives while viReadAsync or viWriteAsync is still running finds it as
// well, and owns it from then on; Terminate frees a terminated job's buffer (its aborted
// completion claims nothing), and the event dispatch frees what is left when it stops. The
// event-state lock is held only around each registry operation, never across a library call.
#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <memory>

#include "events/job_buffers.h"
#include "servers/rs232/message_text.h"
#include "servers/rs232/rs232_svr.h"
#include "session/safearray_bytes.h"

namespace mrv {

namespace {

constexpr DWORD kHelpTransfer = 1009;  // Write and Terminate: Win32 failures

constexpr interface_frame kAsyncFrame{
    &IID_IAsyncMessage,
    "IAsyncMessage",
    {convert_visa(IID_IAsyncMessage), pointer_error(), internal_error(IID_IAsyncMessage)}};
constexpr interface_frame kAsyncWin32Frame = kAsyncFrame.with(
    {convert_visa(IID_IAsyncMessage), pointer_error(), convert_win32(IID_IMessage, kHelpTransfer),
     internal_error(IID_IAsyncMessage)});
constexpr interface_frame kAsyncWriteStringFrame = kAsyncFrame.with(
    {pointer_error(), report_loc_com(), pass_hresult(), internal_error(IID_IAsyncMessage)});

struct job_buffer_free {
    void operator()(unsigned char* buffer) const noexcept { events::free_job_buffer(buffer); }
};
using job_buffer = std::unique_ptr<unsigned char[], job_buffer_free>;

// Hands `buffer` to the registry, starts the job with it and gives the entry the job's ID
// (unless the completion has claimed it already). A job whose library call failed keeps its
// placeholder entry until the event dispatch stops.
template <class Start>
void run_job(events::event_state& state, job_buffer buffer, long* jobId, Start&& start)
{
    unsigned char* const data = buffer.get();
    {
        synchronize<CComAutoCriticalSection> guard(state.lock);
        state.job_buffers.register_buffer(data);
        buffer.release();
    }
    start(data, reinterpret_cast<ViPJobId>(jobId));
    synchronize<CComAutoCriticalSection> guard(state.lock);
    state.job_buffers.set_job_id(data, static_cast<ViJobId>(*jobId));
}

}  // namespace

HRESULT CRS232Svr::IAsyncMessage_Read(long count, long* jobId)
{
    return run_framed(*this, kAsyncFrame, "Read",
                      {param::in("count", count), param::out("*jobId", jobId)}, [&]() -> HRESULT {
                          if (count < 1)
                              return E_INVALIDARG;
                          job_buffer buffer(events::allocate_job_buffer(count));
                          run_job(*events_, std::move(buffer), jobId,
                                  [&](unsigned char* data, ViPJobId job) {
                                      driver().viReadAsync(data, static_cast<ViUInt32>(count), job);
                                  });
                          return S_OK;
                      });
}

HRESULT CRS232Svr::IAsyncMessage_Write(SAFEARRAY** buf, long count, long* jobId)
{
    return run_framed(
        *this, kAsyncWin32Frame, "Write",
        {param::in("**buf", buf), param::in("count", count), param::out("*jobId", jobId)},
        [&]() -> HRESULT {
            SAFEARRAY* const array = *buf;
            if (count < 1 || !array || ::IsBadReadPtr(array, sizeof *array) ||
                ::SafeArrayGetDim(array) != 1)
                return E_INVALIDARG;
            LONG lower = 0, upper = 0;
            if (const HRESULT hr = ::SafeArrayGetLBound(array, 1, &lower); FAILED(hr))
                throw win32_hresult_error(IDS_BAD_ARRAY_ARGUMENT, hr);
            if (const HRESULT hr = ::SafeArrayGetUBound(array, 1, &upper); FAILED(hr))
                throw win32_hresult_error(IDS_BAD_ARRAY_ARGUMENT, hr);
            if (static_cast<long long>(upper) - lower + 1 < count)
                return E_INVALIDARG;
            // The first count bytes of the data, whatever the element type.
            job_buffer buffer(events::allocate_job_buffer(count));
            {
                safearray_data data(array);
                std::memcpy(buffer.get(), data.get(), static_cast<std::size_t>(count));
                data.release();
            }
            run_job(*events_, std::move(buffer), jobId, [&](unsigned char* data, ViPJobId job) {
                driver().viWriteAsync(data, static_cast<ViUInt32>(count), job);
            });
            return S_OK;
        });
}

HRESULT CRS232Svr::IAsyncMessage_WriteString(BSTR message, long* jobId)
{
    return run_framed(*this, kAsyncWriteStringFrame, "WriteString",
                      {param::in("Message", param::text(message)), param::out("*JobId", jobId)},
                      [&] {
                          // A complete nested call, traced on its own.
                          return write_text(message, [&](SAFEARRAY** array, long length) {
                              return IAsyncMessage_Write(array, length, jobId);
                          });
                      });
}

STDMETHODIMP CRS232Svr::Terminate(long jobId)
{
    return run_framed(*this, kAsyncWin32Frame, __func__, {param::in("jobId", jobId)}, [&] {
        const auto job = static_cast<ViJobId>(jobId);
        // Marked while the library ends it: the aborted job's completion, which the library
        // may report before viTerminate returns, finds no buffer and delivers nothing.
        {
            synchronize<CComAutoCriticalSection> guard(events_->lock);
            events_->job_buffers.begin_termination(job);
        }
        try {
            driver().viTerminate(VI_NULL, job);
        } catch (...) {
            synchronize<CComAutoCriticalSection> guard(events_->lock);
            events_->job_buffers.end_termination(job);
            throw;
        }
        synchronize<CComAutoCriticalSection> guard(events_->lock);
        events_->job_buffers.unregister_job(job);
    });
}

}  // namespace mrv
