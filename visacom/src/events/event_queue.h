#pragma once
// EventQueue: a bounded, oldest-first queue of event records, held by value. A record that
// arrives while the queue is full is lost; lowering the maximum keeps the records already held.
// Record is copyable and carries its VISA event type in a `type` field. Taking and looking for
// VI_ALL_ENABLED_EVENTS match a record of any type.
//
// The queue has no lock of its own: the session's event-state lock guards it.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "events/event_types.h"

namespace mrv {

template <class Record>
class EventQueue {
public:
    static constexpr std::uint32_t default_maximum = 1000;

    EventQueue() = default;
    EventQueue(const EventQueue&) = default;
    EventQueue& operator=(const EventQueue&) = default;
    virtual ~EventQueue() = default;

    // Stored as given: no check, no effect on the records already held.
    void set_maximum(std::uint32_t maximum) noexcept { maximum_ = maximum; }
    std::uint32_t maximum() const noexcept { return maximum_; }

    bool is_full() const noexcept { return events_.size() >= maximum_; }
    std::size_t size() const noexcept { return events_.size(); }

    // Appends a copy of `record` unless the queue is full.
    void push(const Record& record)
    {
        if (!is_full())
            events_.push_back(record);
    }

    // Removes and returns the oldest record of `type`; none when there is no such record.
    std::optional<Record> take_first(std::uint32_t type)
    {
        const auto found = std::find_if(events_.begin(), events_.end(), [type](const Record& r) {
            return events::type_matches(type, r.type);
        });
        if (found == events_.end())
            return std::nullopt;
        std::optional<Record> taken(std::move(*found));
        events_.erase(found);
        return taken;
    }

    // Removes every record of `type`; true when that changed the queue.
    bool remove_all(std::uint32_t type)
    {
        const auto before = events_.size();
        std::erase_if(events_, [type](const Record& r) { return r.type == type; });
        return events_.size() != before;
    }

    bool contains(std::uint32_t type) const
    {
        return std::any_of(events_.begin(), events_.end(),
                           [type](const Record& r) { return events::type_matches(type, r.type); });
    }

    void clear() noexcept { events_.clear(); }

private:
    std::vector<Record> events_;
    std::uint32_t maximum_ = default_maximum;
};

}  // namespace mrv
