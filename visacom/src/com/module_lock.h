#pragma once
// The module lock count: live COM objects plus IClassFactory::LockServer locks. The DLL may be
// unloaded (DllCanUnloadNow) only while it is zero. Process-wide and atomic.
namespace mrv {

long module_lock() noexcept;    // returns the new count
long module_unlock() noexcept;  // returns the new count
long module_lock_count() noexcept;

}  // namespace mrv
