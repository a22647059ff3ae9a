#include "status_text.h"

namespace simvisa {
namespace {

struct status_entry {
    ViStatus code;
    const char* name;
    const char* text;
};

#define S(code, text)                                                                              \
    {                                                                                              \
        code, #code, text                                                                          \
    }
const status_entry table[] = {
    S(VI_SUCCESS, "Operation completed successfully."),
    S(VI_SUCCESS_EVENT_EN,
      "Specified event is already enabled for at least one of the specified mechanisms."),
    S(VI_SUCCESS_EVENT_DIS,
      "Specified event is already disabled for at least one of the specified mechanisms."),
    S(VI_SUCCESS_QUEUE_EMPTY, "Operation completed successfully, but queue was already empty."),
    S(VI_SUCCESS_TERM_CHAR, "The specified termination character was read."),
    S(VI_SUCCESS_MAX_CNT, "The number of bytes read is equal to the input count."),
    S(VI_SUCCESS_DEV_NPRESENT,
      "Session opened successfully, but the device at the specified address is not responding."),
    S(VI_SUCCESS_TRIG_MAPPED, "The path from trigSrc to trigDest is already mapped."),
    S(VI_SUCCESS_QUEUE_NEMPTY,
      "Wait terminated successfully on receipt of an event notification. There is still at least "
      "one more event occurrence of the requested type(s) available for this session."),
    S(VI_SUCCESS_NCHAIN, "Event handled successfully. Do not invoke any other handlers on this "
                         "session for this event."),
    S(VI_SUCCESS_NESTED_SHARED,
      "Operation completed successfully, and this session has nested shared locks."),
    S(VI_SUCCESS_NESTED_EXCLUSIVE,
      "Operation completed successfully, and this session has nested exclusive locks."),
    S(VI_SUCCESS_SYNC, "Asynchronous operation request was actually performed synchronously."),
    S(VI_WARN_QUEUE_OVERFLOW,
      "The event returned is valid. One or more events that occurred have not been raised because "
      "there was no room available on the queue at the time of their occurrence."),
    S(VI_WARN_CONFIG_NLOADED, "The specified configuration either does not exist or could not be "
                              "loaded; using VISA-specified defaults."),
    S(VI_WARN_NULL_OBJECT, "The specified object reference is uninitialized."),
    S(VI_WARN_NSUP_ATTR_STATE, "Although the specified state of the attribute is valid, it is not "
                               "supported by this implementation."),
    S(VI_WARN_UNKNOWN_STATUS, "The status code passed to the operation could not be interpreted."),
    S(VI_WARN_NSUP_BUF, "The specified buffer is not supported."),
    S(VI_WARN_EXT_FUNC_NIMPL, "The operation succeeded, but a lower level driver did not implement "
                              "the extended functionality."),
    S(VI_WARN_SERVER_CERT_UNTRUSTED, "The server certificate is not trusted."),
    S(VI_ERROR_SYSTEM_ERROR, "Unknown system error (miscellaneous error)."),
    S(VI_ERROR_INV_OBJECT, "The given session or object reference is invalid."),
    S(VI_ERROR_RSRC_LOCKED, "Specified type of lock cannot be obtained, or specified operation "
                            "cannot be performed, because the resource is locked."),
    S(VI_ERROR_INV_EXPR, "Invalid expression specified for search."),
    S(VI_ERROR_RSRC_NFOUND,
      "Insufficient location information or the device or resource is not present in the system."),
    S(VI_ERROR_INV_RSRC_NAME, "Invalid resource reference specified. Parsing error."),
    S(VI_ERROR_INV_ACC_MODE, "Invalid access mode."),
    S(VI_ERROR_TMO, "Timeout expired before operation completed."),
    S(VI_ERROR_CLOSING_FAILED, "Unable to deallocate the previously allocated data structures "
                               "corresponding to this session or object reference."),
    S(VI_ERROR_INV_DEGREE, "Specified degree is invalid."),
    S(VI_ERROR_INV_JOB_ID, "Specified job identifier is invalid."),
    S(VI_ERROR_NSUP_ATTR, "The specified attribute is not defined or supported by the referenced "
                          "session, event, or find list."),
    S(VI_ERROR_NSUP_ATTR_STATE, "The specified state of the attribute is not valid, or is not "
                                "supported as defined by the session, event, or find list."),
    S(VI_ERROR_ATTR_READONLY, "The specified attribute is Read Only."),
    S(VI_ERROR_INV_LOCK_TYPE, "The specified type of lock is not supported by this resource."),
    S(VI_ERROR_INV_ACCESS_KEY,
      "The access key to the resource associated with this session is invalid."),
    S(VI_ERROR_INV_EVENT, "Specified event type is not supported by the resource."),
    S(VI_ERROR_INV_MECH, "Invalid mechanism specified."),
    S(VI_ERROR_HNDLR_NINSTALLED, "A handler is not currently installed for the specified event."),
    S(VI_ERROR_INV_HNDLR_REF, "The given handler reference is invalid."),
    S(VI_ERROR_INV_CONTEXT, "Specified event context is invalid."),
    S(VI_ERROR_QUEUE_OVERFLOW, "The event queue for the specified type has overflowed (usually due "
                               "to previous events not having been closed)."),
    S(VI_ERROR_NENABLED,
      "The session must be enabled for events of the specified type in order to receive them."),
    S(VI_ERROR_ABORT, "User abort occurred during transfer."),
    S(VI_ERROR_RAW_WR_PROT_VIOL, "Violation of raw write protocol occurred during transfer."),
    S(VI_ERROR_RAW_RD_PROT_VIOL, "Violation of raw read protocol occurred during transfer."),
    S(VI_ERROR_OUTP_PROT_VIOL, "Device reported an output protocol error during transfer."),
    S(VI_ERROR_INP_PROT_VIOL, "Device reported an input protocol error during transfer."),
    S(VI_ERROR_BERR, "Bus error occurred during transfer."),
    S(VI_ERROR_IN_PROGRESS, "Unable to queue the asynchronous operation because there is already "
                            "an operation in progress."),
    S(VI_ERROR_INV_SETUP, "Unable to start operation because setup is invalid (due to attributes "
                          "being set to an inconsistent state)."),
    S(VI_ERROR_QUEUE_ERROR, "Unable to queue asynchronous operation."),
    S(VI_ERROR_ALLOC, "Insufficient system resources to perform necessary memory allocation."),
    S(VI_ERROR_INV_MASK, "Invalid buffer mask specified."),
    S(VI_ERROR_IO, "Could not perform operation because of I/O error."),
    S(VI_ERROR_INV_FMT, "A format specifier in the format string is invalid."),
    S(VI_ERROR_NSUP_FMT, "A format specifier in the format string is not supported."),
    S(VI_ERROR_LINE_IN_USE, "The specified trigger line is currently in use."),
    S(VI_ERROR_LINE_NRESERVED, "An attempt was made to use a line that was not reserved."),
    S(VI_ERROR_NSUP_MODE, "The specified mode is not supported by this VISA implementation."),
    S(VI_ERROR_SRQ_NOCCURRED, "Service request has not been received for the session."),
    S(VI_ERROR_INV_SPACE, "Invalid address space specified."),
    S(VI_ERROR_INV_OFFSET, "Invalid offset specified."),
    S(VI_ERROR_INV_WIDTH, "Invalid access width specified."),
    S(VI_ERROR_NSUP_OFFSET, "Specified offset is not accessible from this hardware."),
    S(VI_ERROR_NSUP_VAR_WIDTH, "Cannot support source and destination widths that are different."),
    S(VI_ERROR_WINDOW_NMAPPED, "The specified session is not currently mapped."),
    S(VI_ERROR_RESP_PENDING,
      "A previous response is still pending, causing a multiple query error."),
    S(VI_ERROR_NLISTENERS,
      "No listeners condition is detected (both NRFD and NDAC are deasserted)."),
    S(VI_ERROR_NCIC,
      "The interface associated with this session is not currently the controller in charge."),
    S(VI_ERROR_NSYS_CNTLR,
      "The interface associated with this session is not the system controller."),
    S(VI_ERROR_NSUP_OPER, "The given session or object reference does not support this operation."),
    S(VI_ERROR_INTR_PENDING, "An interrupt is still pending from a previous call."),
    S(VI_ERROR_ASRL_PARITY, "A parity error occurred during transfer."),
    S(VI_ERROR_ASRL_FRAMING, "A framing error occurred during transfer."),
    S(VI_ERROR_ASRL_OVERRUN, "An overrun error occurred during transfer. A character was not read "
                             "from the hardware before the next character arrived."),
    S(VI_ERROR_TRIG_NMAPPED, "The path from trigSrc to trigDest is not currently mapped."),
    S(VI_ERROR_NSUP_ALIGN_OFFSET,
      "The specified offset is not properly aligned for the access width of the operation."),
    S(VI_ERROR_USER_BUF,
      "A specified user buffer is not valid or cannot be accessed for the required size."),
    S(VI_ERROR_RSRC_BUSY, "The resource is valid, but VISA cannot currently access it."),
    S(VI_ERROR_NSUP_WIDTH, "Specified width is not supported by this hardware."),
    S(VI_ERROR_INV_PARAMETER,
      "The value of some parameter (which parameter is not known) is invalid."),
    S(VI_ERROR_INV_PROT, "The protocol specified is invalid."),
    S(VI_ERROR_INV_SIZE, "Invalid size of window specified."),
    S(VI_ERROR_WINDOW_MAPPED, "The specified session currently contains a mapped window."),
    S(VI_ERROR_NIMPL_OPER, "The given operation is not implemented."),
    S(VI_ERROR_INV_LENGTH, "Invalid length specified."),
    S(VI_ERROR_INV_MODE, "The specified mode is invalid."),
    S(VI_ERROR_SESN_NLOCKED, "The current session did not have any lock on the resource."),
    S(VI_ERROR_MEM_NSHARED, "The device does not export any memory."),
    S(VI_ERROR_LIBRARY_NFOUND, "A code library required by VISA could not be located or loaded."),
    S(VI_ERROR_NSUP_INTR, "The interface cannot generate an interrupt on the requested level or "
                          "with the requested statusID value."),
    S(VI_ERROR_INV_LINE, "The value specified by the line parameter is invalid."),
    S(VI_ERROR_FILE_ACCESS, "An error occurred while trying to open the specified file. Possible "
                            "reasons include an invalid path or lack of access rights."),
    S(VI_ERROR_FILE_IO, "An error occurred while performing I/O on the specified file."),
    S(VI_ERROR_NSUP_LINE,
      "One of the specified lines (trigSrc or trigDest) is not supported by this VISA "
      "implementation, or the combination of lines is not a valid mapping."),
    S(VI_ERROR_NSUP_MECH, "The specified mechanism is not supported for the given event type."),
    S(VI_ERROR_INTF_NUM_NCONFIG,
      "The interface type is valid but the specified interface number is not configured."),
    S(VI_ERROR_CONN_LOST, "The connection for the given session has been lost."),
    S(VI_ERROR_MACHINE_NAVAIL,
      "The remote machine does not exist or is not accepting any connections."),
    S(VI_ERROR_NPERMISSION, "Access to the resource or remote machine is denied."),
    S(VI_ERROR_SERVER_CERT, "The server certificate could not be used."),
    S(VI_ERROR_SERVER_CERT_UNTRUSTED, "The server certificate is not trusted."),
    S(VI_ERROR_SERVER_CERT_EXPIRED, "The server certificate has expired."),
    S(VI_ERROR_SERVER_CERT_REVOKED, "The server certificate has been revoked."),
    S(VI_ERROR_SERVER_CERT_INV_SUBJECT,
      "The server certificate subject does not match the host name."),
};
#undef S

const status_entry* lookup(ViStatus status)
{
    for (const auto& e : table)
        if (e.code == status)
            return &e;
    return nullptr;
}

}  // namespace

const char* status_name(ViStatus status)
{
    const status_entry* e = lookup(status);
    return e ? e->name : nullptr;
}

const char* status_description(ViStatus status)
{
    const status_entry* e = lookup(status);
    return e ? e->text : nullptr;
}

}  // namespace simvisa
