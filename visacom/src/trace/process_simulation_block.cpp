#include "trace/process_simulation_block.h"

#include <cstring>
#include <string>

#include "trace/benaphore.h"
#include "trace/nko_client.h"

namespace mrv::trace {

namespace {

namespace layout = simulation_block_layout;

constexpr std::size_t kMaxFileName = 260;

void put_word(unsigned char* view, std::size_t at, std::uint32_t value)
{
    std::memcpy(view + at, &value, sizeof value);
}

// Copies text into a field of the given size, cut to fit, always NUL-terminated.
void put_text(unsigned char* view, std::size_t at, std::size_t size, std::string_view text)
{
    const std::size_t n = text.size() < size ? text.size() : size - 1;
    std::memcpy(view + at, text.data(), n);
    view[at + n] = 0;
}

}  // namespace

simulation_publication::~simulation_publication()
{
    if (!block_)
        return;
    if (result_ == S_OK)
        put_word(block_->view(), layout::in_use_at, 0);
    block_->lock_.unlock();
}

int process_simulation_block::create()
{
    if (view_)
        return 0;

    const std::string pid = std::to_string(GetCurrentProcessId());
    benaphore creating;
    if (!creating.create(nko_global_name(std::string(layout::kBaseName) + "Sem_" + pid)))
        return -1;
    benaphore_lock locked(creating);
    mapping_.reset(NkoTakeHandle(NkoCreateFileMapping(
        INVALID_HANDLE_VALUE, NkoSecurityAttributes(), PAGE_READWRITE, 0, layout::kSize,
        nko_global_name(std::string(layout::kBaseName) + pid).c_str())));
    if (!mapping_)
        return -1;
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, layout::kSize));
    if (!view_) {
        mapping_.reset();
        return -1;
    }
    if (created) {
        std::memset(view(), 0, layout::kSize);
        put_word(view(), layout::version_at, layout::kFresh);
    }
    return created ? 1 : 0;
}

simulation_publication process_simulation_block::publish(std::string_view playback_tag,
                                                         std::string_view file_name,
                                                         std::string_view interface_type,
                                                         std::string_view resource_class)
{
    lock_.lock();
    if (file_name.size() >= kMaxFileName)
        return {*this, E_INVALIDARG};
    if (!view_)
        return {*this, E_HANDLE};  // no block to describe the open in
    unsigned char* block = view();
    put_word(block, layout::version_at, layout::kSize);
    put_word(block, layout::zero_at, 0);
    put_word(block, layout::thread_at, GetCurrentThreadId());
    put_text(block, layout::file_at, layout::kFileSize, file_name);
    put_text(block, layout::tag_at, layout::kTagSize, playback_tag);
    put_word(block, layout::in_use_at, 1);
    put_text(block, layout::interface_at, layout::kNameFieldSize, interface_type);
    put_text(block, layout::class_at, layout::kNameFieldSize, resource_class);
    return {*this, S_OK};
}

void process_simulation_block::ensure_created()
{
    static std::mutex creating;
    std::lock_guard guard(creating);
    if (!made_) {
        create();
        made_ = true;
    }
}

void process_simulation_block::close() noexcept
{
    made_ = false;
    view_.reset();
    mapping_.reset();
}

process_simulation_block& simulation_block()
{
    static process_simulation_block block;
    return block;
}

}  // namespace mrv::trace
