// The simvisa_* exports that act on devices, events and the configuration.
#include <algorithm>
#include <cstring>

#include "api_frame.h"
#include "events.h"
#include "port.h"
#include "session_access.h"
#include "simvisa_control.h"

using namespace simvisa;

extern "C" {

ViStatus SIMVISA_API simvisa_device_send(ViSession vi, const void* data, ViUInt32 length,
                                         ViUInt32 delay_ms)
{
    return guarded([&] {
        return with_session(vi, [&](auto s) -> ViStatus {
            if (!data && length)
                return VI_ERROR_USER_BUF;
            port& p = *s->port;
            std::lock_guard lock(p.m);
            const auto at = clock::now() + std::chrono::milliseconds(delay_ms);
            p.arrive(std::string_view(static_cast<const char*>(data), length), at);
            // Later bytes never overtake earlier ones on the line.
            std::stable_sort(
                p.rx.begin(), p.rx.end(),
                [](const port::rx_byte& a, const port::rx_byte& b) { return a.at < b.at; });
            return VI_SUCCESS;
        });
    });
}

ViStatus SIMVISA_API simvisa_raise_event(ViSession vi, ViEventType type,
                                         const simvisa_event_attr* attrs, ViUInt32 count)
{
    return guarded([&] {
        return with_session(vi, [&](auto s) -> ViStatus {
            if (!attrs && count)
                return VI_ERROR_INV_PARAMETER;
            event_data ev = make_event(type);
            for (ViUInt32 i = 0; i < count; ++i) {
                const simvisa_event_attr& a = attrs[i];
                if (a.text) {
                    set_text(ev, a.attribute, a.text);
                } else if (a.data) {
                    event_attr d;
                    d.is_data = true;
                    d.bytes.assign(static_cast<const char*>(a.data), a.data_length);
                    ev.attrs[a.attribute] = d;
                } else {
                    ViUInt32 size = a.size ? a.size : 4;
                    if (size != 1 && size != 2 && size != 4 && size != 8)
                        return VI_ERROR_INV_PARAMETER;
                    set_number(ev, a.attribute, size, a.value);
                }
            }
            return post_event(s, std::move(ev));
        });
    });
}

ViStatus SIMVISA_API simvisa_support_event(ViEventType type, ViBoolean supported)
{
    return guarded([&] {
        set_event_supported(type, supported != VI_FALSE);
        return VI_SUCCESS;
    });
}

ViUInt32 SIMVISA_API simvisa_open_objects(void)
{
    return static_cast<ViUInt32>(object_count());
}

ViStatus SIMVISA_API simvisa_load_config(const char* path)
{
    return guarded([&] { return load_configuration(path); });
}

ViStatus SIMVISA_API simvisa_check_device_file(const char* path, char* message, ViUInt32 size)
{
    return guarded([&]() -> ViStatus {
        if (!path)
            return VI_ERROR_INV_PARAMETER;
        std::string text;
        ViStatus status = VI_SUCCESS;
        try {
            load_device_file(path);
        } catch (const device_file_error& e) {
            text = e.what();
            status = e.status;
        }
        if (message && size) {
            size_t n = std::min<size_t>(text.size(), size - 1);
            std::memcpy(message, text.data(), n);
            message[n] = '\0';
        }
        return status;
    });
}

}  // extern "C"
