/* Control and inspection interface of the simulation VISA library (visa32.dll).
 *
 * Plain C exports for tests. A test process that already has the library loaded (for example
 * through a COM server that loaded it) reaches them with
 *     HMODULE m = GetModuleHandleA("visa32.dll");
 *     simvisa_log_text_fn log_text = (simvisa_log_text_fn)GetProcAddress(m, "simvisa_log_text");
 * Every function may be called from any thread. The calling convention is SIMVISA_API (__stdcall,
 * which is the one x64 convention on 64-bit Windows). See docs/simvisa.md. */
#ifndef SIMVISA_CONTROL_H
#define SIMVISA_CONTROL_H

#include "visa.h"

#define SIMVISA_API __stdcall

#if defined(__cplusplus)
extern "C" {
#endif

/* ---- Call log ------------------------------------------------------------------------------
 * Every VISA call is recorded as one line "viFlush(vi=2,mask=64)": the function name and its
 * arguments in order; numbers in decimal, attribute ids, event types and statuses in hex
 * ("0x3FFF001A"), strings in double quotes (a viSetAttribute of a string attribute shows the text
 * its value points to), buffers and pointers as addresses, null as null. */

/* Copies the log, one line per call, each ended by '\n', into buffer (terminated, cut to size)
 * and returns the size needed including the terminating NUL. buffer may be null. */
ViUInt32 SIMVISA_API simvisa_log_text(char* buffer, ViUInt32 size);
/* Number of log lines that contain text (all lines when text is null). */
ViUInt32 SIMVISA_API simvisa_log_count(const char* text);
void SIMVISA_API simvisa_log_clear(void);

/* ---- Fault injection -----------------------------------------------------------------------
 * The next `count` calls of `function` (an exported name such as "viRead") answer `status`.
 * A negative status is returned without performing the call; a status of zero or above is
 * returned in place of the status of a call that succeeded (so viOpen with
 * VI_SUCCESS_DEV_NPRESENT still opens the session). count 0 cancels the injection. */
ViStatus SIMVISA_API simvisa_fail_next(const char* function, ViStatus status, ViUInt32 count);
void SIMVISA_API simvisa_clear_faults(void);

/* Number of VISA objects open in the process: resource managers, sessions, find lists and
 * event contexts. A test compares it before and after to see that nothing was left open. */
ViUInt32 SIMVISA_API simvisa_open_objects(void);

/* ---- Devices --------------------------------------------------------------------------------
 * Bytes that arrive from the device on the session's port after delay_ms milliseconds (0: at
 * once), as they are, for every session on that port to read. */
ViStatus SIMVISA_API simvisa_device_send(ViSession vi, const void* data, ViUInt32 length,
                                         ViUInt32 delay_ms);

/* One attribute of a raised event's context. Exactly one of the three forms applies:
 * text != null: a string attribute; data != null: a block of data_length bytes that
 * viGetAttribute copies out; otherwise a number of `size` bytes (1, 2, 4 or 8; 0 means 4). */
typedef struct simvisa_event_attr {
    ViAttr attribute;
    ViUInt32 size;
    ViAttrState value;
    const char* text;
    const void* data;
    ViUInt32 data_length;
} simvisa_event_attr;

/* Raises an event of any type on a session, delivered by the mechanisms the session enabled
 * for that type (queue, handlers on the library's handler thread, suspended handlers).
 * VI_ATTR_EVENT_TYPE is always present. VI_ERROR_NENABLED when the session has not enabled
 * the type: the event is then dropped. */
ViStatus SIMVISA_API simvisa_raise_event(ViSession vi, ViEventType type,
                                         const simvisa_event_attr* attrs, ViUInt32 count);

/* Event types that viEnableEvent, viInstallHandler ... accept besides the serial INSTR ones
 * (I/O completion, service request, exception, trigger, clear and the ASRL_ events). */
ViStatus SIMVISA_API simvisa_support_event(ViEventType type, ViBoolean supported);

/* ---- Event delivery ------------------------------------------------------------------------
 * Handlers run on the library's handler thread, one event after another, in the order the
 * events were raised. These calls let a test decide when and where that happens. */

/* VI_TRUE holds the calls of handlers: events raised meanwhile still reach queues and
 * suspended lists at once, but wait for their handlers. VI_FALSE delivers the held events,
 * oldest first (on the calling thread when delivery is synchronous, else on the handler
 * thread). */
ViStatus SIMVISA_API simvisa_hold_events(ViBoolean hold);
/* Events handed to handlers and not delivered yet (held ones included). */
ViUInt32 SIMVISA_API simvisa_pending_events(void);
/* Waits until no event waits for its handlers and no handler runs, on any thread:
 * VI_SUCCESS, VI_ERROR_TMO after timeout_ms (VI_TMO_INFINITE: no limit), or
 * VI_ERROR_INV_SETUP when called from a handler (it would wait for itself). */
ViStatus SIMVISA_API simvisa_wait_idle(ViUInt32 timeout_ms);
/* VI_TRUE: an event raised inside a call (an I/O completion of viReadAsync or viWriteAsync,
 * a service request during viWrite, simvisa_raise_event ...) reaches its handlers on the
 * calling thread before that call returns. VI_FALSE (the default): on the handler thread. */
ViStatus SIMVISA_API simvisa_deliver_synchronously(ViBoolean synchronous);

/* ---- The line, seen from the device ---------------------------------------------------------
 * Bytes arriving raise VI_EVENT_ASRL_CHAR (once per burst of bytes arriving together) and
 * VI_EVENT_ASRL_TERMCHAR (once per byte equal to the session's VI_ATTR_TERMCHAR) when they
 * reach the receive buffer, on every session of the port that enabled them. */

/* The device drives one of its output lines as the port sees it: line is
 * VI_ATTR_ASRL_CTS_STATE, _DSR_STATE, _DCD_STATE or _RI_STATE, state VI_STATE_ASSERTED or
 * VI_STATE_UNASSERTED. A change raises VI_EVENT_ASRL_CTS, _DSR, _DCD or _RI on the sessions of
 * the port that enabled it. VI_ERROR_NSUP_ATTR for another attribute, VI_ERROR_NSUP_ATTR_STATE
 * for another state. */
ViStatus SIMVISA_API simvisa_device_line(ViSession vi, ViAttr line, ViInt16 state);
/* The device sends a break: VI_EVENT_ASRL_BREAK on the sessions of the port that enabled it. */
ViStatus SIMVISA_API simvisa_device_break(ViSession vi);

/* ---- Look-up --------------------------------------------------------------------------------
 * The instrument sessions open in the process on a resource ("ASRL1::INSTR", "ASRL1", "COM1";
 * null: every resource), in the order they were opened, for example the session a COM server
 * opened. Copies up to max handles into sessions (may be null) and returns how many there are. */
ViUInt32 SIMVISA_API simvisa_find_sessions(const char* resource, ViSession* sessions, ViUInt32 max);

/* ---- Configuration --------------------------------------------------------------------------
 * Loads a configuration file (null: the default one, see docs/simvisa.md) for the ports that
 * no session has open; VI_ERROR_FILE_ACCESS / VI_ERROR_FILE_IO with simvisa_last_message
 * telling file, line, column and key path ("file:line:column: path: what"). */
ViStatus SIMVISA_API simvisa_load_config(const char* path);
/* Reads a device description file; VI_SUCCESS, or an error with the message
 * ("file:line:column: path: what") copied into message. */
ViStatus SIMVISA_API simvisa_check_device_file(const char* path, char* message, ViUInt32 size);
/* The last diagnostic of the library (for example why a device file was refused). */
ViUInt32 SIMVISA_API simvisa_last_message(char* buffer, ViUInt32 size);

typedef ViUInt32(SIMVISA_API* simvisa_log_text_fn)(char*, ViUInt32);
typedef ViUInt32(SIMVISA_API* simvisa_log_count_fn)(const char*);
typedef void(SIMVISA_API* simvisa_log_clear_fn)(void);
typedef ViStatus(SIMVISA_API* simvisa_fail_next_fn)(const char*, ViStatus, ViUInt32);
typedef void(SIMVISA_API* simvisa_clear_faults_fn)(void);
typedef ViUInt32(SIMVISA_API* simvisa_open_objects_fn)(void);
typedef ViStatus(SIMVISA_API* simvisa_device_send_fn)(ViSession, const void*, ViUInt32, ViUInt32);
typedef ViStatus(SIMVISA_API* simvisa_raise_event_fn)(ViSession, ViEventType,
                                                      const simvisa_event_attr*, ViUInt32);
typedef ViStatus(SIMVISA_API* simvisa_support_event_fn)(ViEventType, ViBoolean);
typedef ViStatus(SIMVISA_API* simvisa_hold_events_fn)(ViBoolean);
typedef ViUInt32(SIMVISA_API* simvisa_pending_events_fn)(void);
typedef ViStatus(SIMVISA_API* simvisa_wait_idle_fn)(ViUInt32);
typedef ViStatus(SIMVISA_API* simvisa_deliver_synchronously_fn)(ViBoolean);
typedef ViStatus(SIMVISA_API* simvisa_device_line_fn)(ViSession, ViAttr, ViInt16);
typedef ViStatus(SIMVISA_API* simvisa_device_break_fn)(ViSession);
typedef ViUInt32(SIMVISA_API* simvisa_find_sessions_fn)(const char*, ViSession*, ViUInt32);
typedef ViStatus(SIMVISA_API* simvisa_load_config_fn)(const char*);
typedef ViStatus(SIMVISA_API* simvisa_check_device_file_fn)(const char*, char*, ViUInt32);
typedef ViUInt32(SIMVISA_API* simvisa_last_message_fn)(char*, ViUInt32);

#if defined(__cplusplus)
}
#endif

#endif /* SIMVISA_CONTROL_H */
