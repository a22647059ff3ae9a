// The operating-system class, the name prefixes it selects and the open-to-everyone security
// attributes of the named objects.
#include <mutex>

#include "trace/nko_client.h"

namespace {

int classify(const OSVERSIONINFOA& v)
{
    const auto major = v.dwMajorVersion, minor = v.dwMinorVersion;
    switch (v.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        return 3;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (major < 4 || (major == 4 && minor == 0))
            return 2;
        if (major == 4 && minor < 90)
            return 5;
        return 6;
    case VER_PLATFORM_WIN32_NT:
        if (major < 5)
            return 1;
        if (major == 5)
            return minor == 0 ? 4 : 7;
        return minor == 0 ? 8 : 9;
    default:
        return -1;
    }
}

bool has_namespaces(int c)
{
    return c == 4 || c == 7 || c == 8 || c == 9;
}
bool has_security(int c)
{
    return c == 1 || has_namespaces(c);
}

char* make_name(char* buffer, std::size_t size, const char* prefix, const char* base)
{
    if (!buffer || size == 0)
        return buffer;
    std::size_t at = 0;
    for (const char* part : {prefix, base})
        for (const char* c = part; c && *c && at + 1 < size; ++c)
            buffer[at++] = *c;
    buffer[at] = 0;
    return buffer;
}

}  // namespace

int NkoOsClass() noexcept
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

const char* NkoGlobalPrefix() noexcept
{
    return has_namespaces(NkoOsClass()) ? "Global\\" : "";
}
const char* NkoLocalPrefix() noexcept
{
    return has_namespaces(NkoOsClass()) ? "Local\\" : "";
}

char* NkoMakeGlobalName(char* buffer, std::size_t size, const char* base) noexcept
{
    return make_name(buffer, size, NkoGlobalPrefix(), base);
}

char* NkoMakeLocalName(char* buffer, std::size_t size, const char* base) noexcept
{
    return make_name(buffer, size, NkoLocalPrefix(), base);
}

std::string nko_global_name(std::string_view base)
{
    std::string name = NkoGlobalPrefix();
    name.append(base);
    return name;
}

SECURITY_ATTRIBUTES* NkoSecurityAttributes() noexcept
{
    static std::mutex lock;
    static SECURITY_DESCRIPTOR descriptor;
    static SECURITY_ATTRIBUTES attributes;
    static bool built = false;
    if (!has_security(NkoOsClass()))
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
