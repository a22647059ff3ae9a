#pragma once
// The interface map: a class lists the interfaces it answers once, as a type list, in the order
// QueryInterface tries them:
//
//     using interfaces = mrv::interface_map<
//         mrv::com_entry<ISupportErrorInfo>,
//         mrv::com_entry<IBaseMessage, _IMessage>,   // handed out through the _IMessage base
//         ...>;
//
// IUnknown is answered with the pointer of the first entry, so every IUnknown of one object is
// the same pointer. An entry's IID defaults to __uuidof(Interface); pass one explicitly for
// interfaces whose header declares no uuid.
//
// An object whose interfaces depend on its state lists conditional entries: the interface is
// answered only while the predicate, called with the object, holds:
//
//     mrv::com_entry_if<[](const CFoo& f) { return f.is_bar(); }, IBar>
#include <unknwn.h>

#include <type_traits>

namespace mrv {

template <class Interface, class Via = Interface, const IID* Iid = nullptr>
struct com_entry {
    using interface_type = Interface;
    using via_type = Via;
    static const IID& iid() noexcept
    {
        if constexpr (Iid != nullptr)
            return *Iid;
        else
            return __uuidof(Interface);
    }
    // The interface pointer of `self`, cast through the base that carries it.
    template <class T>
    static Interface* pointer(T* self) noexcept
    {
        static_assert(std::is_base_of_v<Via, T>,
                      "an interface map entry names a base the class lacks");
        return static_cast<Interface*>(static_cast<Via*>(self));
    }
    template <class T>
    static bool granted(const T*) noexcept
    {
        return true;
    }
};

template <auto Granted, class Interface, class Via = Interface, const IID* Iid = nullptr>
struct com_entry_if : com_entry<Interface, Via, Iid> {
    template <class T>
    static bool granted(const T* self) noexcept
    {
        return Granted(*self);
    }
};

template <class... Entries>
struct interface_map {
    static_assert(sizeof...(Entries) > 0, "an interface map needs at least one entry");
};

namespace detail {

template <class T, class First, class... Rest>
IUnknown* find_interface(T* self, REFIID riid, interface_map<First, Rest...>*) noexcept
{
    if (::IsEqualIID(riid, IID_IUnknown))
        return First::pointer(self);
    IUnknown* found = nullptr;
    // Left to right, first match wins: the map's order is QueryInterface's order.
    (void)((::IsEqualIID(riid, First::iid()) && First::granted(self) &&
            (found = First::pointer(self), true)) ||
           ((::IsEqualIID(riid, Rest::iid()) && Rest::granted(self) &&
             (found = Rest::pointer(self), true)) ||
            ...));
    return found;
}

}  // namespace detail

// QueryInterface through T::interfaces: E_POINTER for a null result pointer, E_NOINTERFACE
// (result null) for an IID outside the map; otherwise adds a reference through the pointer
// handed out.
template <class T>
HRESULT query_interface(T* self, REFIID riid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    IUnknown* p = detail::find_interface(self, riid, static_cast<typename T::interfaces*>(nullptr));
    *ppv = p;
    if (!p)
        return E_NOINTERFACE;
    p->AddRef();
    return S_OK;
}

}  // namespace mrv
