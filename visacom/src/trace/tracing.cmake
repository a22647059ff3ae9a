# The trace layer, the record format and the trace transport (status block and pipe).
target_sources(visacom_trace PRIVATE
    method_trace_scope.cpp
    trace_clock.cpp
    trace_event_log.cpp
    trace_layer.cpp
    trace_message.cpp
    trace_pipe.cpp
    trace_status.cpp
    trace_value.cpp)
target_link_libraries(visacom_trace PUBLIC visacom_com ole32 oleaut32)
