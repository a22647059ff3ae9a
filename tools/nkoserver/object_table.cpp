#include "object_table.h"

#include <optional>

#include "trace/nko_client.h"

namespace nkoserver {

namespace {

using mrv::nko::request;

std::string failure(DWORD error)
{
    return mrv::nko::reply_text(0, error);
}

// A file handle of the client, duplicated into this process; -1 stays the paging file.
HANDLE client_file(DWORD process, std::int64_t value, mrv::unique_handle& holder)
{
    const auto file = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(value));
    if (file == INVALID_HANDLE_VALUE)
        return file;
    mrv::unique_handle client(OpenProcess(PROCESS_DUP_HANDLE, FALSE, process));
    if (!client || !DuplicateHandle(client.get(), file, GetCurrentProcess(), holder.put(), 0, FALSE,
                                    DUPLICATE_SAME_ACCESS))
        return nullptr;
    return holder.get();
}

// The object a create request names, created with the null-DACL attributes whatever the client
// asked for: the point of the server is that every process may open what it makes. Empty when the
// request lacks an argument.
std::optional<HANDLE> create_object(const request& r, DWORD process)
{
    const std::string* name = r.find("lpName");
    const auto attributes = r.number("SecurityAttributes");
    if (!name || !attributes)
        return std::nullopt;
    SECURITY_ATTRIBUTES* sa = NkoSecurityAttributes();
    const char* n = name->empty() ? nullptr : name->c_str();
    auto a = [&](const char* key) { return r.number(key); };

    if (r.element == "CreateEvent") {
        const auto manual = a("bManualReset"), initial = a("bInitialState");
        if (!manual || !initial)
            return std::nullopt;
        return CreateEventA(sa, *manual != 0, *initial != 0, n);
    }
    if (r.element == "CreateMutex") {
        const auto owner = a("bInitialOwner");
        if (!owner)
            return std::nullopt;
        // The server's thread never releases a mutex, so it never takes ownership for a client.
        return CreateMutexA(sa, FALSE, n);
    }
    if (r.element == "CreateSemaphore") {
        const auto initial = a("lInitialCount"), maximum = a("lMaximumCount");
        if (!initial || !maximum)
            return std::nullopt;
        return CreateSemaphoreA(sa, static_cast<LONG>(*initial), static_cast<LONG>(*maximum), n);
    }
    if (r.element == "CreateFileMapping") {
        const auto file = a("hFile"), protect = a("flProtect");
        const auto high = a("dwMaximumSizeHigh"), low = a("dwMaximumSizeLow");
        if (!file || !protect || !high || !low)
            return std::nullopt;
        mrv::unique_handle duplicate;
        const HANDLE f = client_file(process, *file, duplicate);
        if (!f)
            return nullptr;
        return CreateFileMappingA(f, sa, static_cast<DWORD>(*protect), static_cast<DWORD>(*high),
                                  static_cast<DWORD>(*low), n);
    }
    return std::nullopt;
}

}  // namespace

std::string object_table::execute(const request& r)
{
    if (r.element == "CloseHandle")
        return close(r);
    return create(r);
}

std::string object_table::create(const request& r)
{
    const auto process = r.number("ProcId");
    if (!process)
        return failure(ERROR_INVALID_PARAMETER);
    // The objects of clients that ended between a create request and its close go first: a
    // semaphore or mutex that a killed client left behind then goes with its last handle.
    {
        std::lock_guard guard(lock_);
        drop_ended_clients();
    }
    const auto made = create_object(r, static_cast<DWORD>(*process));
    if (!made)
        return failure(ERROR_INVALID_PARAMETER);
    const DWORD error = GetLastError();
    if (!*made)
        return failure(error ? error : ERROR_INVALID_HANDLE);

    const auto value = reinterpret_cast<ULONG_PTR>(*made);
    entry e{static_cast<DWORD>(*process), mrv::unique_handle(*made),
            mrv::unique_handle(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(*process)))};
    {
        std::lock_guard guard(lock_);
        objects_.insert_or_assign(value, std::move(e));
    }
    return mrv::nko::reply_text(value, error == ERROR_ALREADY_EXISTS ? ERROR_ALREADY_EXISTS : 0);
}

std::string object_table::close(const request& r)
{
    const auto process = r.number("ProcId");
    const auto handle = r.number("Handle");
    if (!process || !handle)
        return failure(ERROR_INVALID_PARAMETER);
    std::lock_guard guard(lock_);
    const auto found = objects_.find(static_cast<ULONG_PTR>(*handle));
    // Only the handles made for this client: never the server's own pipe or another client's.
    if (found == objects_.end() || found->second.process != static_cast<DWORD>(*process))
        return failure(ERROR_INVALID_HANDLE);
    objects_.erase(found);
    return mrv::nko::reply_text(1, 0);
}

void object_table::drop_ended_clients()
{
    for (auto it = objects_.begin(); it != objects_.end();) {
        const HANDLE p = it->second.process_handle.get();
        if (p && WaitForSingleObject(p, 0) == WAIT_OBJECT_0)
            it = objects_.erase(it);
        else
            ++it;
    }
}

std::size_t object_table::held() const
{
    std::lock_guard guard(lock_);
    return objects_.size();
}

}  // namespace nkoserver
