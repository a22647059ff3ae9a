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
 * ("0x3FFF001A"), strings in double quotes, buffers and pointers as addresses, null as null. */

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

/* ---- Configuration --------------------------------------------------------------------------
 * Loads a configuration file (null: the default one, see docs/simvisa.md) for the ports that
 * no session has open; VI_ERROR_FILE_ACCESS / VI_ERROR_FILE_IO with simvisa_last_message
 * telling file and line. */
ViStatus SIMVISA_API simvisa_load_config(const char* path);
/* Reads a device description file; VI_SUCCESS, or an error with the message ("file:line:
 * what") copied into message. */
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
typedef ViStatus(SIMVISA_API* simvisa_load_config_fn)(const char*);
typedef ViStatus(SIMVISA_API* simvisa_check_device_file_fn)(const char*, char*, ViUInt32);
typedef ViUInt32(SIMVISA_API* simvisa_last_message_fn)(char*, ViUInt32);

#if defined(__cplusplus)
}
#endif

#endif /* SIMVISA_CONTROL_H */
