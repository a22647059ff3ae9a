#include "com/module_lock.h"

#include <atomic>

namespace mrv {
namespace {
std::atomic<long> g_module_locks{0};
}

long module_lock() noexcept
{
    return ++g_module_locks;
}
long module_unlock() noexcept
{
    return --g_module_locks;
}
long module_lock_count() noexcept
{
    return g_module_locks.load();
}

}  // namespace mrv
