#pragma once
// synchronize<T>: holds T's lock for the lifetime of the guard. T is anything with Lock() and
// Unlock(): an object root, a component's critical section holder, a CComAutoCriticalSection.
namespace mrv {

template <class T>
class synchronize {
public:
    explicit synchronize(T& lockable) noexcept : lockable_(lockable) { lockable_.Lock(); }
    ~synchronize() { lockable_.Unlock(); }
    synchronize(const synchronize&) = delete;
    synchronize& operator=(const synchronize&) = delete;

private:
    T& lockable_;
};

// unsynchronize<T>: releases T's lock (held once by the caller) for the lifetime of the guard and
// takes it again at the end, for calls that must not run under it (client code, other
// libraries).
template <class T>
class unsynchronize {
public:
    explicit unsynchronize(T& lockable) noexcept : lockable_(lockable) { lockable_.Unlock(); }
    ~unsynchronize() { lockable_.Lock(); }
    unsynchronize(const unsynchronize&) = delete;
    unsynchronize& operator=(const unsynchronize&) = delete;

private:
    T& lockable_;
};

}  // namespace mrv
