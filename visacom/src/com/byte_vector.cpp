#include "com/byte_vector.h"

#include <objbase.h>

#include <array>
#include <cstddef>

#include "com/srw_guard.h"

namespace mrv {
namespace {

constexpr ULONG prepared_minimum = 256 * 1024;
constexpr std::size_t prepared_bytes_at_most = 16 * 1024 * 1024;
constexpr std::size_t page_size = 4096;

// One size's ready block. A slot is free (size 0), being prepared (size set, no block) or
// ready.
struct slot {
    ULONG size = 0;
    void* block = nullptr;
};

class prepared_blocks {
public:
    constexpr prepared_blocks() noexcept = default;
    prepared_blocks(const prepared_blocks&) = delete;
    prepared_blocks& operator=(const prepared_blocks&) = delete;
    // Runs as the module unloads; no preparation can be running then (each holds the module).
    ~prepared_blocks()
    {
        for (slot& s : slots_)
            if (s.block)
                ::CoTaskMemFree(s.block);
    }

    // The ready block of `size`, if any. Either way a block of that size is being prepared for
    // the next call afterwards, when there is room for one.
    void* take(ULONG size) noexcept
    {
        void* block = nullptr;
        bool refill = false;
        {
            srw_guard guard(lock_);
            slot* found = find(size);
            if (found) {
                block = found->block;
                found->block = nullptr;
                refill = block != nullptr;  // otherwise one is being prepared already
            } else if (slot* free = find(0); free && held_ + size <= prepared_bytes_at_most) {
                free->size = size;
                held_ += size;
                refill = true;
            }
        }
        if (refill && !submit(size))
            give_up(size);
        return block;
    }

private:
    // Under the lock.
    slot* find(ULONG size) noexcept
    {
        for (slot& s : slots_)
            if (s.size == size)
                return &s;
        return nullptr;
    }

    void give_up(ULONG size) noexcept
    {
        srw_guard guard(lock_);
        if (slot* s = find(size); s && !s->block) {
            s->size = 0;
            held_ -= size;
        }
    }

    // The callback holds a reference on this module, taken here and given back by the pool
    // once the callback has returned, so that the module stays mapped while it runs.
    static bool submit(ULONG size) noexcept
    {
        HMODULE self = nullptr;
        if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                  reinterpret_cast<LPCWSTR>(&prepare), &self))
            return false;
        if (::TrySubmitThreadpoolCallback(
                &prepare, reinterpret_cast<void*>(static_cast<ULONG_PTR>(size)), nullptr))
            return true;
        ::FreeLibrary(self);
        return false;
    }

    static void CALLBACK prepare(PTP_CALLBACK_INSTANCE, void* context);

    SRWLOCK lock_ = SRWLOCK_INIT;
    std::array<slot, 8> slots_{};
    std::size_t held_ = 0;
};

constinit prepared_blocks prepared;

void CALLBACK prepared_blocks::prepare(PTP_CALLBACK_INSTANCE instance, void* context)
{
    HMODULE self = nullptr;
    if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(&prepare), &self))
        ::FreeLibraryWhenCallbackReturns(instance, self);  // the reference submit() took
    const auto size = static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(context));
    auto* block = static_cast<unsigned char*>(::CoTaskMemAlloc(size));
    if (!block) {
        prepared.give_up(size);
        return;
    }
    for (std::size_t at = 0; at < size; at += page_size)
        block[at] = 0;  // maps the page now, on this thread
    srw_guard guard(prepared.lock_);
    if (slot* s = prepared.find(size); s && !s->block)
        s->block = block;
    else
        ::CoTaskMemFree(block);
}

}  // namespace

SAFEARRAY* new_byte_vector(ULONG count) noexcept
{
    void* block = count >= prepared_minimum ? prepared.take(count) : nullptr;
    if (!block)
        return ::SafeArrayCreateVector(VT_UI1, 0, count);
    // An array with its data apart from its descriptor, the way SafeArrayCreate makes one:
    // SafeArrayDestroy gives the data back to the task allocator.
    SAFEARRAY* array = nullptr;
    if (FAILED(::SafeArrayAllocDescriptorEx(VT_UI1, 1, &array))) {
        ::CoTaskMemFree(block);
        return nullptr;
    }
    array->rgsabound[0].cElements = count;
    array->rgsabound[0].lLbound = 0;
    array->pvData = block;
    return array;
}

}  // namespace mrv
