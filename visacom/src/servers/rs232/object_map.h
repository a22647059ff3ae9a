#pragma once
// The module's object map: one entry per creatable class of the DLL, with what the module needs
// to register it and to serve its class object.
#include <objbase.h>

#include <atomic>
#include <span>

#include "servers/rs232/class_factory.h"
#include "servers/rs232/registry_script.h"

namespace mrv::rs232 {

struct object_map_entry {
    const CLSID* clsid;
    // Runs the class's registry script.
    HRESULT (*update_registry)(registry_action action) noexcept;
    // Makes the class object for `create_instance`, handed out as riid.
    HRESULT(*create_class_object)
    (instance_creator create_instance, REFIID riid, void** ppv) noexcept;
    instance_creator create_instance;
    // The class object once made: one reference, the module's, dropped at module termination.
    std::atomic<IUnknown*> class_object{nullptr};
};

std::span<object_map_entry> object_map() noexcept;

}  // namespace mrv::rs232
