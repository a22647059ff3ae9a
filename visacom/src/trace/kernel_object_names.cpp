#include "kernel_object_names.h"

#include <mutex>

namespace mrv::trace {

namespace {

int classify(const OSVERSIONINFOA& v)
{
    const auto major = v.dwMajorVersion, minor = v.dwMinorVersion;
    switch (v.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        return 3;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (major < 4 || (major == 4 && minor == 0)) return 2;
        if (major == 4 && minor < 90) return 5;
        return 6;
    case VER_PLATFORM_WIN32_NT:
        if (major < 5) return 1;
        if (major == 5) return minor == 0 ? 4 : 7;
        return minor == 0 ? 8 : 9;
    default:
        return -1;
    }
}

bool has_namespaces(int c) { return c == 4 || c == 7 || c == 8 || c == 9; }
bool has_security(int c) { return c == 1 || has_namespaces(c); }

}  // namespace

int os_class()
{
    static const int cached = [] {
        OSVERSIONINFOA v{};
        v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (!GetVersionExA(&v))
            return -1;
#pragma GCC diagnostic pop
        return classify(v);
    }();
    return cached;
}

std::string global_name(std::string_view base)
{
    std::string name = has_namespaces(os_class()) ? "Global\\" : "";
    name.append(base);
    return name;
}

SECURITY_ATTRIBUTES* open_to_everyone()
{
    static std::mutex lock;
    static SECURITY_DESCRIPTOR descriptor;
    static SECURITY_ATTRIBUTES attributes;
    static bool built = false;
    if (!has_security(os_class()))
        return nullptr;
    std::lock_guard guard(lock);
    if (!built) {
        // A failure leaves built false, so the next request tries again.
        if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE))
            return nullptr;
        attributes = {sizeof attributes, &descriptor, TRUE};
        built = true;
    }
    return &attributes;
}

}  // namespace mrv::trace
