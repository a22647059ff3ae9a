// The creation functions: named "Global\" objects through the kernel-object server, every other
// object directly.
#include "trace/nko_client.h"

#include <cstring>
#include <new>
#include <utility>

#include "trace/nko_channel.h"
#include "trace/nko_protocol.h"

namespace {

constexpr char kGlobal[] = "Global\\";
constexpr std::size_t kGlobalLength = sizeof kGlobal - 1;

bool goes_through_server(const char* name)
{
    return name && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name,
                                  static_cast<int>(strnlen(name, kGlobalLength)), kGlobal,
                                  static_cast<int>(kGlobalLength)) == CSTR_EQUAL;
}

NkoHandle* fail(NkoHandle* wrapper)
{
    const DWORD kept = GetLastError();
    delete wrapper;
    SetLastError(kept);
    return NkoInvalidHandle();
}

void send_close(ULONG_PTR server_handle)
{
    const DWORD kept = GetLastError();
    mrv::nko::server_channel().communicate(
        mrv::nko::close_handle_request(GetCurrentProcessId(), server_handle));
    SetLastError(kept);
}

// The one path of every creation function. request() builds the create request, open(name) opens
// the object by name with full access, create() makes it directly.
template <class Request, class Open, class Create>
NkoHandle* create_object(const char* name, Request request, Open open, Create create) noexcept
{
    auto* wrapper = new (std::nothrow) NkoHandle{};
    if (!wrapper)
        return nullptr;
    if (!goes_through_server(name)) {
        wrapper->local = create();
        return wrapper->local ? wrapper : fail(wrapper);
    }

    std::string text;
    try {
        text = request();
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return fail(wrapper);
    }
    SetLastError(0);
    wrapper->server = mrv::nko::server_channel().communicate(text);
    if (!wrapper->server)
        return fail(wrapper);
    const DWORD server_error = GetLastError();

    wrapper->local = open(name);
    const DWORD open_error = GetLastError();
    send_close(std::exchange(wrapper->server, 0));
    if (!wrapper->local) {
        SetLastError(open_error);
        return fail(wrapper);
    }
    // The server made the object, so its error code says whether it existed.
    SetLastError(server_error == ERROR_ALREADY_EXISTS ? ERROR_ALREADY_EXISTS : 0);
    return wrapper;
}

}  // namespace

NkoHandle* NkoInvalidHandle() noexcept
{
    static NkoHandle invalid{};
    return &invalid;
}

bool NkoIsValid(const NkoHandle* handle) noexcept
{
    return handle && handle != reinterpret_cast<const NkoHandle*>(~ULONG_PTR{0}) && handle->local &&
           handle->local != INVALID_HANDLE_VALUE;
}

NkoHandle* NkoCreateEvent(SECURITY_ATTRIBUTES* attributes, BOOL manual_reset, BOOL initial_state,
                          const char* name) noexcept
{
    return create_object(
        name,
        [&] {
            return mrv::nko::create_event_request(GetCurrentProcessId(), attributes != nullptr,
                                                  manual_reset, initial_state, name);
        },
        [](const char* n) { return OpenEventA(0x1F0003, FALSE, n); },
        [&] { return CreateEventA(attributes, manual_reset, initial_state, name); });
}

NkoHandle* NkoCreateMutex(SECURITY_ATTRIBUTES* attributes, BOOL initial_owner,
                          const char* name) noexcept
{
    return create_object(
        name,
        [&] {
            return mrv::nko::create_mutex_request(GetCurrentProcessId(), attributes != nullptr,
                                                  initial_owner, name);
        },
        [](const char* n) { return OpenMutexA(0x1F0001, FALSE, n); },
        [&] { return CreateMutexA(attributes, initial_owner, name); });
}

NkoHandle* NkoCreateSemaphore(SECURITY_ATTRIBUTES* attributes, LONG initial_count,
                              LONG maximum_count, const char* name) noexcept
{
    return create_object(
        name,
        [&] {
            return mrv::nko::create_semaphore_request(GetCurrentProcessId(), attributes != nullptr,
                                                      initial_count, maximum_count, name);
        },
        [](const char* n) { return OpenSemaphoreA(0x1F0003, FALSE, n); },
        [&] { return CreateSemaphoreA(attributes, initial_count, maximum_count, name); });
}

NkoHandle* NkoCreateFileMapping(HANDLE file, SECURITY_ATTRIBUTES* attributes, DWORD protect,
                                DWORD maximum_size_high, DWORD maximum_size_low,
                                const char* name) noexcept
{
    return create_object(
        name,
        [&] {
            return mrv::nko::create_file_mapping_request(GetCurrentProcessId(), file,
                                                         attributes != nullptr, protect,
                                                         maximum_size_high, maximum_size_low, name);
        },
        [](const char* n) { return OpenFileMappingA(0xF001F, FALSE, n); },
        [&] {
            return CreateFileMappingA(file, attributes, protect, maximum_size_high,
                                      maximum_size_low, name);
        });
}

HANDLE NkoRelease(NkoHandle* handle) noexcept
{
    if (!handle || handle == NkoInvalidHandle() ||
        handle == reinterpret_cast<NkoHandle*>(~ULONG_PTR{0}))
        return nullptr;
    const HANDLE local = handle->local;
    if (handle->server)
        send_close(handle->server);
    delete handle;
    return local;
}

void NkoClose(NkoHandle* handle) noexcept
{
    const HANDLE local = NkoRelease(handle);
    if (local && local != INVALID_HANDLE_VALUE)
        CloseHandle(local);
}

HANDLE NkoTakeHandle(NkoHandle* handle) noexcept
{
    const DWORD kept = GetLastError();
    const HANDLE local = NkoRelease(handle);
    SetLastError(kept);
    return local;
}

ULONG_PTR NkoServerCommunicate(const char* request) noexcept
{
    return mrv::nko::server_channel().communicate(request ? request : "");
}
