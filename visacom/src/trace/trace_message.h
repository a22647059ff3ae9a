#pragma once
// Trace records: one XML document (UTF-16) per entry into or return from a session method,
// built by a MorvaneTraceMessage and written to the trace pipe.
//
//   <Message><Method><Method_Enter MethodName=".." Timestamp=".." AppName=".." ThreadID=".."
//   ProcessID=".." Address=".." Source="VisaCom" ParamCount="n"/></Method><Parameters>
//   <Parameter Name=".." InParam="True" OutParam="False" RetVal="False" ParamType="int32">
//   <Element Value=".."/></Parameter>...</Parameters></Message>
//
// (one line, no breaks). Exit records carry ElapsedNS and HRESULT; error records (a negative
// HRESULT) start with the thread's error object's Description, ErrorSource, HelpContext and
// HelpFile and have no ParamCount.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "trace/trace_value.h"

namespace mrv::trace {

// The record interface the trace layer hands out.
class CTraceEncoder {
public:
    // Appends one parameter element; a value of an unsupported type, or one whose text cannot
    // be built, is dropped.
    virtual HRESULT AddParameter(const char* name, bool in, bool out, bool retval,
                                 const VARIANT& value) noexcept = 0;
    // A parameter whose value cannot be reached (null value pointer): an empty Value.
    virtual HRESULT AddEmptyParameter(const char* name, bool in, bool out,
                                      VARTYPE type) noexcept = 0;
    // Builds the record with this result and writes it to the trace pipe, when tracing is on and
    // records are wanted. 0, or the HRESULT of a COM failure met on the way.
    virtual HRESULT Send(HRESULT hr) noexcept = 0;
    virtual std::int64_t GetStartTime() const noexcept = 0;
    virtual ~CTraceEncoder() = default;
};

enum class record_kind : unsigned char { exit = 0, enter = 1 };

inline constexpr std::int32_t kMaxArrayByteLimit = 0x40000;

class MorvaneTraceMessage final : public CTraceEncoder {
public:
    // array_byte_limit: bytes of an array argument shown (capped at 0x40000; negative: all).
    // start_time: of the enter record, for an exit record; 0 for an enter record.
    MorvaneTraceMessage(record_kind kind, std::string_view method_name, std::string_view address,
                        std::string_view application_name, std::int32_t array_byte_limit,
                        std::int64_t start_time);

    HRESULT AddParameter(const char* name, bool in, bool out, bool retval,
                         const VARIANT& value) noexcept override;
    HRESULT AddEmptyParameter(const char* name, bool in, bool out, VARTYPE type) noexcept override;
    HRESULT Send(HRESULT hr) noexcept override;
    std::int64_t GetStartTime() const noexcept override { return start_time_; }

    // The record text for this result (an enter record takes its timestamp now). Raises
    // _com_error or std::bad_alloc.
    std::wstring build_text(HRESULT hr);
    unsigned parameter_count() const noexcept { return parameter_count_; }

private:
    bool shows(bool in, bool out) const noexcept;
    void append_parameter(const char* name, bool in, bool out, bool retval, VARTYPE type,
                          const std::wstring& values);

    record_kind kind_;
    std::int32_t array_byte_limit_;
    HRESULT hr_ = S_OK;
    std::wstring parameters_;
    unsigned parameter_count_ = 0;
    std::wstring method_name_;
    std::wstring address_;
    std::wstring application_name_;
    std::int64_t start_time_;
};

// Whether a record sent now would be written: the process has its trace pipe and the shared
// trace status has tracing on and wants records.
bool trace_records_wanted() noexcept;

}  // namespace mrv::trace
