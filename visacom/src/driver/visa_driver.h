#pragma once
// visa_driver: one loaded copy of the VISA library, its entry table, one VISA session and the
// default resource manager session that opened it. Every other part of the server reaches VISA
// through this class (or, without a driver, through the process-wide entries of entry_points.h).
//
// Status rules: a negative VISA status raises visa_error; zero or a completion code is returned.
// The driver has no lock: its owner serialises calls on it.
#include <windows.h>

#include <visa.h>

#include <type_traits>

#include "com/bstr_t.h"
#include "driver/entry_points.h"
#include "driver/status_description_hook.h"
#include "driver/visa_attribute.h"
#include "driver/visa_entries.h"

namespace mrv {

class visa_driver {
public:
    visa_driver() noexcept = default;
    visa_driver(const visa_driver&) = delete;
    visa_driver& operator=(const visa_driver&) = delete;

    // Closes an open session, then the default resource manager, then unloads the library; the
    // first step that fails ends the teardown. Never throws.
    virtual ~visa_driver();

    // Loads "mvvisa32.dll", or else "visa32.dll", by name (or exactly `path` when given) and
    // resolves every entry point. False when no library with every required entry was loaded.
    virtual bool load_library(const char* path) noexcept;

    // Opens the default resource manager alone; its failures are ignored.
    virtual void open_default_rm();
    // Opens `name` through the default resource manager (opened first when there is none).
    // Returns the status of viOpen, also stored through `out_status` when given.
    virtual ViStatus open(ViConstRsrc name, ViAccessMode mode, ViUInt32 open_timeout,
                          ViStatus* out_status);
    virtual ViStatus find_resources(ViConstString expr, ViFindList* find_list, ViUInt32* count,
                                    ViChar description[]);
    virtual ViStatus find_next(ViFindList find_list, ViChar description[]);
    virtual bool is_open() const noexcept { return opened_; }
    virtual bool is_closed() const noexcept { return closed_; }
    virtual ViStatus parse_resource(_bstr_t name, ViUInt16* intf_type, ViUInt16* intf_num);
    virtual ViStatus parse_resource_ex(_bstr_t name, ViUInt16* intf_type, ViUInt16* intf_num,
                                       _bstr_t& resource_class, _bstr_t& expanded_name,
                                       _bstr_t& alias);
    // Marks the driver closed, then closes the session and the default resource manager.
    virtual ViStatus close();
    // Tolerates VI_ERROR_NSUP_ATTR for the replacement, XON and XOFF characters.
    virtual ViStatus set_attribute(ViAttr attribute, ViAttrState value);
    // Writes the text of `status` into `description` (256 characters).
    virtual void status_description(ViStatus status, ViChar description[]);

    // Forwarders: the VISA function's parameters after the session, passed on unchanged.
    virtual ViStatus viTerminate(ViUInt16 degree, ViJobId job_id)
    {
        return forward<visa::entry::viTerminate>(degree, job_id);
    }
    virtual ViStatus viLock(ViAccessMode lock_type, ViUInt32 timeout, ViConstKeyId requested_key,
                            ViChar access_key[])
    {
        return forward<visa::entry::viLock>(lock_type, timeout, requested_key, access_key);
    }
    virtual ViStatus viUnlock() { return forward<visa::entry::viUnlock>(); }
    virtual ViStatus viEnableEvent(ViEventType event_type, ViUInt16 mechanism,
                                   ViEventFilter context)
    {
        return forward<visa::entry::viEnableEvent>(event_type, mechanism, context);
    }
    virtual ViStatus viDisableEvent(ViEventType event_type, ViUInt16 mechanism)
    {
        return forward<visa::entry::viDisableEvent>(event_type, mechanism);
    }
    virtual ViStatus viDiscardEvents(ViEventType event_type, ViUInt16 mechanism)
    {
        return forward<visa::entry::viDiscardEvents>(event_type, mechanism);
    }
    virtual ViStatus viWaitOnEvent(ViEventType in_event_type, ViUInt32 timeout,
                                   ViPEventType out_event_type, ViPEvent out_context)
    {
        return forward<visa::entry::viWaitOnEvent>(in_event_type, timeout, out_event_type,
                                                   out_context);
    }
    virtual ViStatus viInstallHandler(ViEventType event_type, ViHndlr handler, ViAddr user_handle)
    {
        return forward<visa::entry::viInstallHandler>(event_type, handler, user_handle);
    }
    virtual ViStatus viUninstallHandler(ViEventType event_type, ViHndlr handler, ViAddr user_handle)
    {
        return forward<visa::entry::viUninstallHandler>(event_type, handler, user_handle);
    }
    virtual ViStatus viRead(ViPBuf buf, ViUInt32 count, ViPUInt32 ret_count)
    {
        return forward<visa::entry::viRead>(buf, count, ret_count);
    }
    virtual ViStatus viReadAsync(ViPBuf buf, ViUInt32 count, ViPJobId job_id)
    {
        return forward<visa::entry::viReadAsync>(buf, count, job_id);
    }
    virtual ViStatus viWrite(ViConstBuf buf, ViUInt32 count, ViPUInt32 ret_count)
    {
        return forward<visa::entry::viWrite>(buf, count, ret_count);
    }
    virtual ViStatus viWriteAsync(ViConstBuf buf, ViUInt32 count, ViPJobId job_id)
    {
        return forward<visa::entry::viWriteAsync>(buf, count, job_id);
    }
    virtual ViStatus viAssertTrigger(ViUInt16 protocol)
    {
        return forward<visa::entry::viAssertTrigger>(protocol);
    }
    virtual ViStatus viReadSTB(ViPUInt16 status) { return forward<visa::entry::viReadSTB>(status); }
    virtual ViStatus viClear() { return forward<visa::entry::viClear>(); }
    virtual ViStatus viSetBuf(ViUInt16 mask, ViUInt32 size)
    {
        return forward<visa::entry::viSetBuf>(mask, size);
    }
    virtual ViStatus viFlush(ViUInt16 mask) { return forward<visa::entry::viFlush>(mask); }
    virtual ViStatus viBufWrite(ViConstBuf buf, ViUInt32 count, ViPUInt32 ret_count)
    {
        return forward<visa::entry::viBufWrite>(buf, count, ret_count);
    }
    virtual ViStatus viBufRead(ViPBuf buf, ViUInt32 count, ViPUInt32 ret_count)
    {
        return forward<visa::entry::viBufRead>(buf, count, ret_count);
    }
    virtual ViStatus viVPrintf(ViConstString format, ViVAList params)
    {
        return forward<visa::entry::viVPrintf>(format, params);
    }
    virtual ViStatus viVSPrintf(ViPBuf buf, ViConstString format, ViVAList params)
    {
        return forward<visa::entry::viVSPrintf>(buf, format, params);
    }
    virtual ViStatus viVScanf(ViConstString format, ViVAList params)
    {
        return forward<visa::entry::viVScanf>(format, params);
    }
    virtual ViStatus viVSScanf(ViConstBuf buf, ViConstString format, ViVAList params)
    {
        return forward<visa::entry::viVSScanf>(buf, format, params);
    }
    virtual ViStatus viVQueryf(ViConstString write_format, ViConstString read_format,
                               ViVAList params)
    {
        return forward<visa::entry::viVQueryf>(write_format, read_format, params);
    }
    virtual ViStatus viIn8(ViUInt16 space, ViBusAddress offset, ViPUInt8 value)
    {
        return forward<visa::entry::viIn8>(space, offset, value);
    }
    virtual ViStatus viOut8(ViUInt16 space, ViBusAddress offset, ViUInt8 value)
    {
        return forward<visa::entry::viOut8>(space, offset, value);
    }
    virtual ViStatus viIn16(ViUInt16 space, ViBusAddress offset, ViPUInt16 value)
    {
        return forward<visa::entry::viIn16>(space, offset, value);
    }
    virtual ViStatus viOut16(ViUInt16 space, ViBusAddress offset, ViUInt16 value)
    {
        return forward<visa::entry::viOut16>(space, offset, value);
    }
    virtual ViStatus viIn32(ViUInt16 space, ViBusAddress offset, ViPUInt32 value)
    {
        return forward<visa::entry::viIn32>(space, offset, value);
    }
    virtual ViStatus viOut32(ViUInt16 space, ViBusAddress offset, ViUInt32 value)
    {
        return forward<visa::entry::viOut32>(space, offset, value);
    }
    virtual ViStatus viIn64(ViUInt16 space, ViBusAddress offset, ViPUInt64 value)
    {
        return forward<visa::entry::viIn64>(space, offset, value);
    }
    virtual ViStatus viOut64(ViUInt16 space, ViBusAddress offset, ViUInt64 value)
    {
        return forward<visa::entry::viOut64>(space, offset, value);
    }
    virtual ViStatus viIn8Ex(ViUInt16 space, ViBusAddress64 offset, ViPUInt8 value)
    {
        return forward<visa::entry::viIn8Ex>(space, offset, value);
    }
    virtual ViStatus viOut8Ex(ViUInt16 space, ViBusAddress64 offset, ViUInt8 value)
    {
        return forward<visa::entry::viOut8Ex>(space, offset, value);
    }
    virtual ViStatus viIn16Ex(ViUInt16 space, ViBusAddress64 offset, ViPUInt16 value)
    {
        return forward<visa::entry::viIn16Ex>(space, offset, value);
    }
    virtual ViStatus viOut16Ex(ViUInt16 space, ViBusAddress64 offset, ViUInt16 value)
    {
        return forward<visa::entry::viOut16Ex>(space, offset, value);
    }
    virtual ViStatus viIn32Ex(ViUInt16 space, ViBusAddress64 offset, ViPUInt32 value)
    {
        return forward<visa::entry::viIn32Ex>(space, offset, value);
    }
    virtual ViStatus viOut32Ex(ViUInt16 space, ViBusAddress64 offset, ViUInt32 value)
    {
        return forward<visa::entry::viOut32Ex>(space, offset, value);
    }
    virtual ViStatus viIn64Ex(ViUInt16 space, ViBusAddress64 offset, ViPUInt64 value)
    {
        return forward<visa::entry::viIn64Ex>(space, offset, value);
    }
    virtual ViStatus viOut64Ex(ViUInt16 space, ViBusAddress64 offset, ViUInt64 value)
    {
        return forward<visa::entry::viOut64Ex>(space, offset, value);
    }
    virtual ViStatus viMoveIn8(ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt8 buf)
    {
        return forward<visa::entry::viMoveIn8>(space, offset, length, buf);
    }
    virtual ViStatus viMoveOut8(ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt8 buf)
    {
        return forward<visa::entry::viMoveOut8>(space, offset, length, buf);
    }
    virtual ViStatus viMoveIn16(ViUInt16 space, ViBusAddress offset, ViBusSize length,
                                ViAUInt16 buf)
    {
        return forward<visa::entry::viMoveIn16>(space, offset, length, buf);
    }
    virtual ViStatus viMoveOut16(ViUInt16 space, ViBusAddress offset, ViBusSize length,
                                 ViAUInt16 buf)
    {
        return forward<visa::entry::viMoveOut16>(space, offset, length, buf);
    }
    virtual ViStatus viMoveIn32(ViUInt16 space, ViBusAddress offset, ViBusSize length,
                                ViAUInt32 buf)
    {
        return forward<visa::entry::viMoveIn32>(space, offset, length, buf);
    }
    virtual ViStatus viMoveOut32(ViUInt16 space, ViBusAddress offset, ViBusSize length,
                                 ViAUInt32 buf)
    {
        return forward<visa::entry::viMoveOut32>(space, offset, length, buf);
    }
    virtual ViStatus viMoveIn64(ViUInt16 space, ViBusAddress offset, ViBusSize length,
                                ViAUInt64 buf)
    {
        return forward<visa::entry::viMoveIn64>(space, offset, length, buf);
    }
    virtual ViStatus viMoveOut64(ViUInt16 space, ViBusAddress offset, ViBusSize length,
                                 ViAUInt64 buf)
    {
        return forward<visa::entry::viMoveOut64>(space, offset, length, buf);
    }
    virtual ViStatus viMoveIn8Ex(ViUInt16 space, ViBusAddress64 offset, ViBusSize length,
                                 ViAUInt8 buf)
    {
        return forward<visa::entry::viMoveIn8Ex>(space, offset, length, buf);
    }
    virtual ViStatus viMoveOut8Ex(ViUInt16 space, ViBusAddress64 offset, ViBusSize length,
                                  ViAUInt8 buf)
    {
        return forward<visa::entry::viMoveOut8Ex>(space, offset, length, buf);
    }
    virtual ViStatus viMoveIn16Ex(ViUInt16 space, ViBusAddress64 offset, ViBusSize length,
                                  ViAUInt16 buf)
    {
        return forward<visa::entry::viMoveIn16Ex>(space, offset, length, buf);
    }
    virtual ViStatus viMoveOut16Ex(ViUInt16 space, ViBusAddress64 offset, ViBusSize length,
                                   ViAUInt16 buf)
    {
        return forward<visa::entry::viMoveOut16Ex>(space, offset, length, buf);
    }
    virtual ViStatus viMoveIn32Ex(ViUInt16 space, ViBusAddress64 offset, ViBusSize length,
                                  ViAUInt32 buf)
    {
        return forward<visa::entry::viMoveIn32Ex>(space, offset, length, buf);
    }
    virtual ViStatus viMoveOut32Ex(ViUInt16 space, ViBusAddress64 offset, ViBusSize length,
                                   ViAUInt32 buf)
    {
        return forward<visa::entry::viMoveOut32Ex>(space, offset, length, buf);
    }
    virtual ViStatus viMoveIn64Ex(ViUInt16 space, ViBusAddress64 offset, ViBusSize length,
                                  ViAUInt64 buf)
    {
        return forward<visa::entry::viMoveIn64Ex>(space, offset, length, buf);
    }
    virtual ViStatus viMoveOut64Ex(ViUInt16 space, ViBusAddress64 offset, ViBusSize length,
                                   ViAUInt64 buf)
    {
        return forward<visa::entry::viMoveOut64Ex>(space, offset, length, buf);
    }
    virtual ViStatus viMove(ViUInt16 src_space, ViBusAddress src_offset, ViUInt16 src_width,
                            ViUInt16 dest_space, ViBusAddress dest_offset, ViUInt16 dest_width,
                            ViBusSize src_length)
    {
        return forward<visa::entry::viMove>(src_space, src_offset, src_width, dest_space,
                                            dest_offset, dest_width, src_length);
    }
    virtual ViStatus viMoveAsync(ViUInt16 src_space, ViBusAddress src_offset, ViUInt16 src_width,
                                 ViUInt16 dest_space, ViBusAddress dest_offset, ViUInt16 dest_width,
                                 ViBusSize src_length, ViPJobId job_id)
    {
        return forward<visa::entry::viMoveAsync>(src_space, src_offset, src_width, dest_space,
                                                 dest_offset, dest_width, src_length, job_id);
    }
    virtual ViStatus viMoveEx(ViUInt16 src_space, ViBusAddress64 src_offset, ViUInt16 src_width,
                              ViUInt16 dest_space, ViBusAddress64 dest_offset, ViUInt16 dest_width,
                              ViBusSize src_length)
    {
        return forward<visa::entry::viMoveEx>(src_space, src_offset, src_width, dest_space,
                                              dest_offset, dest_width, src_length);
    }
    virtual ViStatus viMoveAsyncEx(ViUInt16 src_space, ViBusAddress64 src_offset,
                                   ViUInt16 src_width, ViUInt16 dest_space,
                                   ViBusAddress64 dest_offset, ViUInt16 dest_width,
                                   ViBusSize src_length, ViPJobId job_id)
    {
        return forward<visa::entry::viMoveAsyncEx>(src_space, src_offset, src_width, dest_space,
                                                   dest_offset, dest_width, src_length, job_id);
    }
    virtual ViStatus viMapAddress(ViUInt16 map_space, ViBusAddress map_offset, ViBusSize map_size,
                                  ViBoolean access, ViAddr suggested, ViPAddr address)
    {
        return forward<visa::entry::viMapAddress>(map_space, map_offset, map_size, access,
                                                  suggested, address);
    }
    virtual ViStatus viUnmapAddress() { return forward<visa::entry::viUnmapAddress>(); }
    virtual ViStatus viMapAddressEx(ViUInt16 map_space, ViBusAddress64 map_offset,
                                    ViBusSize map_size, ViBoolean access, ViAddr suggested,
                                    ViPAddr address)
    {
        return forward<visa::entry::viMapAddressEx>(map_space, map_offset, map_size, access,
                                                    suggested, address);
    }
    virtual void viPeek8(ViAddr address, ViPUInt8 value)
    {
        forward<visa::entry::viPeek8>(address, value);
    }
    virtual void viPoke8(ViAddr address, ViUInt8 value)
    {
        forward<visa::entry::viPoke8>(address, value);
    }
    virtual void viPeek16(ViAddr address, ViPUInt16 value)
    {
        forward<visa::entry::viPeek16>(address, value);
    }
    virtual void viPoke16(ViAddr address, ViUInt16 value)
    {
        forward<visa::entry::viPoke16>(address, value);
    }
    virtual void viPeek32(ViAddr address, ViPUInt32 value)
    {
        forward<visa::entry::viPeek32>(address, value);
    }
    virtual void viPoke32(ViAddr address, ViUInt32 value)
    {
        forward<visa::entry::viPoke32>(address, value);
    }
    virtual void viPeek64(ViAddr address, ViPUInt64 value)
    {
        forward<visa::entry::viPeek64>(address, value);
    }
    virtual void viPoke64(ViAddr address, ViUInt64 value)
    {
        forward<visa::entry::viPoke64>(address, value);
    }
    virtual ViStatus viMemAlloc(ViBusSize size, ViPBusAddress offset)
    {
        return forward<visa::entry::viMemAlloc>(size, offset);
    }
    virtual ViStatus viMemFree(ViBusAddress offset)
    {
        return forward<visa::entry::viMemFree>(offset);
    }
    virtual ViStatus viMemAllocEx(ViBusSize size, ViPBusAddress64 offset)
    {
        return forward<visa::entry::viMemAllocEx>(size, offset);
    }
    virtual ViStatus viMemFreeEx(ViBusAddress64 offset)
    {
        return forward<visa::entry::viMemFreeEx>(offset);
    }
    virtual ViStatus viGpibControlREN(ViUInt16 mode)
    {
        return forward<visa::entry::viGpibControlREN>(mode);
    }
    virtual ViStatus viVxiCommandQuery(ViUInt16 mode, ViUInt32 command, ViPUInt32 response)
    {
        return forward<visa::entry::viVxiCommandQuery>(mode, command, response);
    }
    virtual ViStatus viGpibControlATN(ViUInt16 mode)
    {
        return forward<visa::entry::viGpibControlATN>(mode);
    }
    virtual ViStatus viGpibSendIFC() { return forward<visa::entry::viGpibSendIFC>(); }
    virtual ViStatus viGpibCommand(ViConstBuf command, ViUInt32 count, ViPUInt32 ret_count)
    {
        return forward<visa::entry::viGpibCommand>(command, count, ret_count);
    }
    virtual ViStatus viGpibPassControl(ViUInt16 primary, ViUInt16 secondary)
    {
        return forward<visa::entry::viGpibPassControl>(primary, secondary);
    }
    virtual ViStatus viUsbControlOut(ViInt16 request_type, ViInt16 request, ViUInt16 value,
                                     ViUInt16 index, ViUInt16 length, ViConstBuf buf)
    {
        return forward<visa::entry::viUsbControlOut>(request_type, request, value, index, length,
                                                     buf);
    }
    virtual ViStatus viUsbControlIn(ViInt16 request_type, ViInt16 request, ViUInt16 value,
                                    ViUInt16 index, ViUInt16 length, ViPBuf buf,
                                    ViPUInt16 ret_count)
    {
        return forward<visa::entry::viUsbControlIn>(request_type, request, value, index, length,
                                                    buf, ret_count);
    }

    // Reads `attribute` into storage of its own size; any status but VI_SUCCESS raises
    // visa_error, warnings included.
    virtual ViStatus get_attribute(ViAttr attribute, void* value);

    // Typed attribute operations.
    ViInt32 get_timeout() { return get(attributes::timeout); }
    ViStatus set_timeout(ViInt32 milliseconds) { return set(attributes::timeout, milliseconds); }
    ViInt16 get_io_protocol() { return get(attributes::io_protocol); }
    ViStatus set_io_protocol(ViInt16 protocol) { return set(attributes::io_protocol, protocol); }
    bool get_send_end_enabled() { return get(attributes::send_end_enabled); }
    ViStatus set_send_end_enabled(bool enabled)
    {
        return set(attributes::send_end_enabled, enabled);
    }
    ViUInt8 get_term_char() { return get(attributes::term_char); }
    ViStatus set_term_char(ViUInt8 character) { return set(attributes::term_char, character); }
    bool get_term_char_enabled() { return get(attributes::term_char_enabled); }
    ViStatus set_term_char_enabled(bool enabled)
    {
        return set(attributes::term_char_enabled, enabled);
    }
    ViInt16 get_interface_number() { return get(attributes::interface_number); }
    ViInt32 get_lock_state() { return get(attributes::lock_state); }

    // The typed operations' mechanism: reads into the attribute's stored width, writes the value
    // widened as that width says.
    template <class Attribute>
    typename Attribute::value_type get(Attribute)
    {
        typename Attribute::stored_type stored{};
        get_attribute(Attribute::id, &stored);
        return from_stored<Attribute>(stored);
    }
    template <class Attribute>
    ViStatus set(Attribute, typename Attribute::value_type value)
    {
        return set_attribute(Attribute::id, widen_attribute(to_stored<Attribute>(value)));
    }

    // visa_error describes statuses through the driver's status_description.
    operator status_describer&() noexcept { return describer_; }

    ViSession session() const noexcept { return session_; }
    ViSession default_rm() const noexcept { return default_rm_; }
    HMODULE library() const noexcept { return library_; }

protected:
    // A negative status raises visa_error described through this driver; others are returned.
    ViStatus check(ViStatus status);

private:
    // The one forwarding mechanism: the driver's session first, the caller's arguments after it,
    // exactly as the VISA prototype takes them; the status checked by the rules above.
    // (The va_list of the viV... functions carries an attribute that templates drop: harmless,
    // the type itself is unchanged.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-attributes"
    template <visa::entry E, class... A>
    std::invoke_result_t<visa::entry_pointer<E>, ViSession, A...> forward(A... args)
    {
        using result = std::invoke_result_t<visa::entry_pointer<E>, ViSession, A...>;
        static_assert(std::is_same_v<visa::entry_pointer<E>, result (*)(ViSession, A...)>,
                      "a forwarder takes exactly the VISA function's parameters after the session");
        if constexpr (std::is_void_v<result>)
            entries_.get<E>()(session_, args...);
        else
            return check(entries_.get<E>()(session_, args...));
    }
#pragma GCC diagnostic pop

    // Opens the default resource manager when there is none; failures raise visa_error.
    void ensure_default_rm();
    // Runs a call made through the default resource manager or a find list: visa_error passes
    // through, anything else becomes visa_error -1 described by this driver.
    template <class Call>
    ViStatus guarded(Call&& call);
    // A negative status of a call made through `through` raises visa_error described by VISA
    // on that session.
    static ViStatus check_through(ViSession through, ViStatus status);
    void load_file(const char* file);

    ViSession session_ = 0;
    HMODULE library_ = nullptr;
    visa::entry_table entries_;
    ViSession default_rm_ = 0;
    bool opened_ = false;
    bool closed_ = false;
    driver_describer describer_{*this};
};

}  // namespace mrv
