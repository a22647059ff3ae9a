#pragma once
// The process simulation block (layout in simulation_block_layout.h): named shared memory per
// process through which a session opening in simulation mode tells the VISA library which
// simulation file to play.
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string_view>
#include <utility>

#include "simulation_block_layout.h"
#include "com/unique_any.h"

namespace mrv::trace {

inline constexpr std::uint32_t kSimulationBlockSize = simulation_block_layout::kSize;
inline constexpr std::uint32_t kSimulationBlockFresh = simulation_block_layout::kFresh;

class process_simulation_block;

// One simulated open described in the block: holds the simulation lock from publish() until it
// ends, and then clears the in-use word (when the fields were written) and leaves the lock, on
// every way out of the open.
class simulation_publication {
public:
    simulation_publication(simulation_publication&& o) noexcept
        : block_(std::exchange(o.block_, nullptr)), result_(o.result_)
    {}
    simulation_publication& operator=(simulation_publication&&) = delete;
    ~simulation_publication();

    // S_OK when the fields were written; E_INVALIDARG for a file name of 260 bytes or more,
    // E_HANDLE when the block could not be made (nothing written either way).
    HRESULT result() const noexcept { return result_; }

private:
    friend class process_simulation_block;
    simulation_publication(process_simulation_block& block, HRESULT result) noexcept
        : block_(&block), result_(result)
    {}

    process_simulation_block* block_;
    HRESULT result_;
};

class process_simulation_block {
public:
    // Creates or opens this process's block; returns 1 when created, 0 when it existed,
    // -1 on failure (the block then stays unmapped and publish writes nothing).
    int create();

    // Takes the simulation lock and writes the fields of one simulated open; the lock is held
    // until the returned publication ends. playback_tag is the server's "MVPlayback" string.
    [[nodiscard]] simulation_publication publish(std::string_view playback_tag,
                                                 std::string_view file_name,
                                                 std::string_view interface_type,
                                                 std::string_view resource_class);

    // The first session object of the process makes the block and the simulation lock; later
    // ones find them made. Safe from any thread.
    void ensure_created();

    void close() noexcept;

    bool mapped() const noexcept { return static_cast<bool>(view_); }

private:
    friend class simulation_publication;
    unsigned char* view() const noexcept { return static_cast<unsigned char*>(view_.get()); }

    unique_handle mapping_;
    unique_view view_;
    std::mutex lock_;    // the simulation lock: simulated opens of the process one at a time
    bool made_ = false;  // create() ran since the last close()
};

// The one block of this process.
process_simulation_block& simulation_block();

}  // namespace mrv::trace
