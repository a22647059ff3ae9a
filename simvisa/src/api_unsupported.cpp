// Register, memory, GPIB, VXI and USB operations: none applies to a serial INSTR session.
// Each is logged and answers VI_ERROR_NSUP_OPER for a session (VI_ERROR_INV_OBJECT for an
// unknown handle); out-parameters are left untouched.
#include "api_frame.h"
#include "session_access.h"

using namespace simvisa;

namespace {

ViStatus not_for_serial(const char* function, std::initializer_list<log_arg> args, ViSession vi)
{
    return api_call(function, args,
                    [&] { return with_session(vi, [](auto) { return VI_ERROR_NSUP_OPER; }); });
}

void peek_poke(const char* function, std::initializer_list<log_arg> args)
{
    try {
        log_call(format_call(function, args));
    } catch (...) {
    }
}

}  // namespace

extern "C" {

#define SPACE_ARGS(vi, space, offset)                                                              \
    {"vi", num(vi)}, {"space", num(space)},                                                        \
    {                                                                                              \
        "offset", num(offset)                                                                      \
    }

ViStatus _VI_FUNC viIn8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViPUInt8 val8)
{
    return not_for_serial("viIn8", {SPACE_ARGS(vi, space, offset), {"val8", ptr(val8)}}, vi);
}
ViStatus _VI_FUNC viOut8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt8 val8)
{
    return not_for_serial("viOut8", {SPACE_ARGS(vi, space, offset), {"val8", num(val8)}}, vi);
}
ViStatus _VI_FUNC viIn16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViPUInt16 val16)
{
    return not_for_serial("viIn16", {SPACE_ARGS(vi, space, offset), {"val16", ptr(val16)}}, vi);
}
ViStatus _VI_FUNC viOut16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt16 val16)
{
    return not_for_serial("viOut16", {SPACE_ARGS(vi, space, offset), {"val16", num(val16)}}, vi);
}
ViStatus _VI_FUNC viIn32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViPUInt32 val32)
{
    return not_for_serial("viIn32", {SPACE_ARGS(vi, space, offset), {"val32", ptr(val32)}}, vi);
}
ViStatus _VI_FUNC viOut32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt32 val32)
{
    return not_for_serial("viOut32", {SPACE_ARGS(vi, space, offset), {"val32", num(val32)}}, vi);
}
ViStatus _VI_FUNC viIn64(ViSession vi, ViUInt16 space, ViBusAddress offset, ViPUInt64 val64)
{
    return not_for_serial("viIn64", {SPACE_ARGS(vi, space, offset), {"val64", ptr(val64)}}, vi);
}
ViStatus _VI_FUNC viOut64(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt64 val64)
{
    return not_for_serial("viOut64", {SPACE_ARGS(vi, space, offset), {"val64", num(val64)}}, vi);
}
ViStatus _VI_FUNC viIn8Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset, ViPUInt8 val8)
{
    return not_for_serial("viIn8Ex", {SPACE_ARGS(vi, space, offset), {"val8", ptr(val8)}}, vi);
}
ViStatus _VI_FUNC viOut8Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset, ViUInt8 val8)
{
    return not_for_serial("viOut8Ex", {SPACE_ARGS(vi, space, offset), {"val8", num(val8)}}, vi);
}
ViStatus _VI_FUNC viIn16Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset, ViPUInt16 val16)
{
    return not_for_serial("viIn16Ex", {SPACE_ARGS(vi, space, offset), {"val16", ptr(val16)}}, vi);
}
ViStatus _VI_FUNC viOut16Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset, ViUInt16 val16)
{
    return not_for_serial("viOut16Ex", {SPACE_ARGS(vi, space, offset), {"val16", num(val16)}}, vi);
}
ViStatus _VI_FUNC viIn32Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset, ViPUInt32 val32)
{
    return not_for_serial("viIn32Ex", {SPACE_ARGS(vi, space, offset), {"val32", ptr(val32)}}, vi);
}
ViStatus _VI_FUNC viOut32Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset, ViUInt32 val32)
{
    return not_for_serial("viOut32Ex", {SPACE_ARGS(vi, space, offset), {"val32", num(val32)}}, vi);
}
ViStatus _VI_FUNC viIn64Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset, ViPUInt64 val64)
{
    return not_for_serial("viIn64Ex", {SPACE_ARGS(vi, space, offset), {"val64", ptr(val64)}}, vi);
}
ViStatus _VI_FUNC viOut64Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset, ViUInt64 val64)
{
    return not_for_serial("viOut64Ex", {SPACE_ARGS(vi, space, offset), {"val64", num(val64)}}, vi);
}

#define MOVE_ARGS(vi, space, offset, length, buf)                                                  \
    SPACE_ARGS(vi, space, offset), {"length", num(length)},                                        \
    {                                                                                              \
        "buf", ptr(buf)                                                                            \
    }

ViStatus _VI_FUNC viMoveIn8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length,
                            ViAUInt8 buf8)
{
    return not_for_serial("viMoveIn8", {MOVE_ARGS(vi, space, offset, length, buf8)}, vi);
}
ViStatus _VI_FUNC viMoveOut8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length,
                             ViAUInt8 buf8)
{
    return not_for_serial("viMoveOut8", {MOVE_ARGS(vi, space, offset, length, buf8)}, vi);
}
ViStatus _VI_FUNC viMoveIn16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length,
                             ViAUInt16 buf16)
{
    return not_for_serial("viMoveIn16", {MOVE_ARGS(vi, space, offset, length, buf16)}, vi);
}
ViStatus _VI_FUNC viMoveOut16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length,
                              ViAUInt16 buf16)
{
    return not_for_serial("viMoveOut16", {MOVE_ARGS(vi, space, offset, length, buf16)}, vi);
}
ViStatus _VI_FUNC viMoveIn32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length,
                             ViAUInt32 buf32)
{
    return not_for_serial("viMoveIn32", {MOVE_ARGS(vi, space, offset, length, buf32)}, vi);
}
ViStatus _VI_FUNC viMoveOut32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length,
                              ViAUInt32 buf32)
{
    return not_for_serial("viMoveOut32", {MOVE_ARGS(vi, space, offset, length, buf32)}, vi);
}
ViStatus _VI_FUNC viMoveIn64(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length,
                             ViAUInt64 buf64)
{
    return not_for_serial("viMoveIn64", {MOVE_ARGS(vi, space, offset, length, buf64)}, vi);
}
ViStatus _VI_FUNC viMoveOut64(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length,
                              ViAUInt64 buf64)
{
    return not_for_serial("viMoveOut64", {MOVE_ARGS(vi, space, offset, length, buf64)}, vi);
}
ViStatus _VI_FUNC viMoveIn8Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset, ViBusSize length,
                              ViAUInt8 buf8)
{
    return not_for_serial("viMoveIn8Ex", {MOVE_ARGS(vi, space, offset, length, buf8)}, vi);
}
ViStatus _VI_FUNC viMoveOut8Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset,
                               ViBusSize length, ViAUInt8 buf8)
{
    return not_for_serial("viMoveOut8Ex", {MOVE_ARGS(vi, space, offset, length, buf8)}, vi);
}
ViStatus _VI_FUNC viMoveIn16Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset,
                               ViBusSize length, ViAUInt16 buf16)
{
    return not_for_serial("viMoveIn16Ex", {MOVE_ARGS(vi, space, offset, length, buf16)}, vi);
}
ViStatus _VI_FUNC viMoveOut16Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset,
                                ViBusSize length, ViAUInt16 buf16)
{
    return not_for_serial("viMoveOut16Ex", {MOVE_ARGS(vi, space, offset, length, buf16)}, vi);
}
ViStatus _VI_FUNC viMoveIn32Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset,
                               ViBusSize length, ViAUInt32 buf32)
{
    return not_for_serial("viMoveIn32Ex", {MOVE_ARGS(vi, space, offset, length, buf32)}, vi);
}
ViStatus _VI_FUNC viMoveOut32Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset,
                                ViBusSize length, ViAUInt32 buf32)
{
    return not_for_serial("viMoveOut32Ex", {MOVE_ARGS(vi, space, offset, length, buf32)}, vi);
}
ViStatus _VI_FUNC viMoveIn64Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset,
                               ViBusSize length, ViAUInt64 buf64)
{
    return not_for_serial("viMoveIn64Ex", {MOVE_ARGS(vi, space, offset, length, buf64)}, vi);
}
ViStatus _VI_FUNC viMoveOut64Ex(ViSession vi, ViUInt16 space, ViBusAddress64 offset,
                                ViBusSize length, ViAUInt64 buf64)
{
    return not_for_serial("viMoveOut64Ex", {MOVE_ARGS(vi, space, offset, length, buf64)}, vi);
}

ViStatus _VI_FUNC viMove(ViSession vi, ViUInt16 srcSpace, ViBusAddress srcOffset, ViUInt16 srcWidth,
                         ViUInt16 destSpace, ViBusAddress destOffset, ViUInt16 destWidth,
                         ViBusSize srcLength)
{
    return not_for_serial("viMove",
                          {{"vi", num(vi)},
                           {"srcSpace", num(srcSpace)},
                           {"srcOffset", num(srcOffset)},
                           {"srcWidth", num(srcWidth)},
                           {"destSpace", num(destSpace)},
                           {"destOffset", num(destOffset)},
                           {"destWidth", num(destWidth)},
                           {"srcLength", num(srcLength)}},
                          vi);
}
ViStatus _VI_FUNC viMoveAsync(ViSession vi, ViUInt16 srcSpace, ViBusAddress srcOffset,
                              ViUInt16 srcWidth, ViUInt16 destSpace, ViBusAddress destOffset,
                              ViUInt16 destWidth, ViBusSize srcLength, ViPJobId jobId)
{
    return not_for_serial("viMoveAsync",
                          {{"vi", num(vi)},
                           {"srcSpace", num(srcSpace)},
                           {"srcOffset", num(srcOffset)},
                           {"srcWidth", num(srcWidth)},
                           {"destSpace", num(destSpace)},
                           {"destOffset", num(destOffset)},
                           {"destWidth", num(destWidth)},
                           {"srcLength", num(srcLength)},
                           {"jobId", ptr(jobId)}},
                          vi);
}
ViStatus _VI_FUNC viMoveEx(ViSession vi, ViUInt16 srcSpace, ViBusAddress64 srcOffset,
                           ViUInt16 srcWidth, ViUInt16 destSpace, ViBusAddress64 destOffset,
                           ViUInt16 destWidth, ViBusSize srcLength)
{
    return not_for_serial("viMoveEx",
                          {{"vi", num(vi)},
                           {"srcSpace", num(srcSpace)},
                           {"srcOffset", num(srcOffset)},
                           {"srcWidth", num(srcWidth)},
                           {"destSpace", num(destSpace)},
                           {"destOffset", num(destOffset)},
                           {"destWidth", num(destWidth)},
                           {"srcLength", num(srcLength)}},
                          vi);
}
ViStatus _VI_FUNC viMoveAsyncEx(ViSession vi, ViUInt16 srcSpace, ViBusAddress64 srcOffset,
                                ViUInt16 srcWidth, ViUInt16 destSpace, ViBusAddress64 destOffset,
                                ViUInt16 destWidth, ViBusSize srcLength, ViPJobId jobId)
{
    return not_for_serial("viMoveAsyncEx",
                          {{"vi", num(vi)},
                           {"srcSpace", num(srcSpace)},
                           {"srcOffset", num(srcOffset)},
                           {"srcWidth", num(srcWidth)},
                           {"destSpace", num(destSpace)},
                           {"destOffset", num(destOffset)},
                           {"destWidth", num(destWidth)},
                           {"srcLength", num(srcLength)},
                           {"jobId", ptr(jobId)}},
                          vi);
}

ViStatus _VI_FUNC viMapAddress(ViSession vi, ViUInt16 mapSpace, ViBusAddress mapOffset,
                               ViBusSize mapSize, ViBoolean access, ViAddr suggested,
                               ViPAddr address)
{
    return not_for_serial("viMapAddress",
                          {{"vi", num(vi)},
                           {"mapSpace", num(mapSpace)},
                           {"mapOffset", num(mapOffset)},
                           {"mapSize", num(mapSize)},
                           {"access", num(access)},
                           {"suggested", ptr(suggested)},
                           {"address", ptr(address)}},
                          vi);
}
ViStatus _VI_FUNC viUnmapAddress(ViSession vi)
{
    return not_for_serial("viUnmapAddress", {{"vi", num(vi)}}, vi);
}
ViStatus _VI_FUNC viMapAddressEx(ViSession vi, ViUInt16 mapSpace, ViBusAddress64 mapOffset,
                                 ViBusSize mapSize, ViBoolean access, ViAddr suggested,
                                 ViPAddr address)
{
    return not_for_serial("viMapAddressEx",
                          {{"vi", num(vi)},
                           {"mapSpace", num(mapSpace)},
                           {"mapOffset", num(mapOffset)},
                           {"mapSize", num(mapSize)},
                           {"access", num(access)},
                           {"suggested", ptr(suggested)},
                           {"address", ptr(address)}},
                          vi);
}

void _VI_FUNC viPeek8(ViSession vi, ViAddr address, ViPUInt8 val8)
{
    peek_poke("viPeek8", {{"vi", num(vi)}, {"address", ptr(address)}, {"val8", ptr(val8)}});
}
void _VI_FUNC viPoke8(ViSession vi, ViAddr address, ViUInt8 val8)
{
    peek_poke("viPoke8", {{"vi", num(vi)}, {"address", ptr(address)}, {"val8", num(val8)}});
}
void _VI_FUNC viPeek16(ViSession vi, ViAddr address, ViPUInt16 val16)
{
    peek_poke("viPeek16", {{"vi", num(vi)}, {"address", ptr(address)}, {"val16", ptr(val16)}});
}
void _VI_FUNC viPoke16(ViSession vi, ViAddr address, ViUInt16 val16)
{
    peek_poke("viPoke16", {{"vi", num(vi)}, {"address", ptr(address)}, {"val16", num(val16)}});
}
void _VI_FUNC viPeek32(ViSession vi, ViAddr address, ViPUInt32 val32)
{
    peek_poke("viPeek32", {{"vi", num(vi)}, {"address", ptr(address)}, {"val32", ptr(val32)}});
}
void _VI_FUNC viPoke32(ViSession vi, ViAddr address, ViUInt32 val32)
{
    peek_poke("viPoke32", {{"vi", num(vi)}, {"address", ptr(address)}, {"val32", num(val32)}});
}
void _VI_FUNC viPeek64(ViSession vi, ViAddr address, ViPUInt64 val64)
{
    peek_poke("viPeek64", {{"vi", num(vi)}, {"address", ptr(address)}, {"val64", ptr(val64)}});
}
void _VI_FUNC viPoke64(ViSession vi, ViAddr address, ViUInt64 val64)
{
    peek_poke("viPoke64", {{"vi", num(vi)}, {"address", ptr(address)}, {"val64", num(val64)}});
}

ViStatus _VI_FUNC viMemAlloc(ViSession vi, ViBusSize size, ViPBusAddress offset)
{
    return not_for_serial("viMemAlloc",
                          {{"vi", num(vi)}, {"size", num(size)}, {"offset", ptr(offset)}}, vi);
}
ViStatus _VI_FUNC viMemFree(ViSession vi, ViBusAddress offset)
{
    return not_for_serial("viMemFree", {{"vi", num(vi)}, {"offset", num(offset)}}, vi);
}
ViStatus _VI_FUNC viMemAllocEx(ViSession vi, ViBusSize size, ViPBusAddress64 offset)
{
    return not_for_serial("viMemAllocEx",
                          {{"vi", num(vi)}, {"size", num(size)}, {"offset", ptr(offset)}}, vi);
}
ViStatus _VI_FUNC viMemFreeEx(ViSession vi, ViBusAddress64 offset)
{
    return not_for_serial("viMemFreeEx", {{"vi", num(vi)}, {"offset", num(offset)}}, vi);
}

ViStatus _VI_FUNC viGpibControlREN(ViSession vi, ViUInt16 mode)
{
    return not_for_serial("viGpibControlREN", {{"vi", num(vi)}, {"mode", num(mode)}}, vi);
}
ViStatus _VI_FUNC viGpibControlATN(ViSession vi, ViUInt16 mode)
{
    return not_for_serial("viGpibControlATN", {{"vi", num(vi)}, {"mode", num(mode)}}, vi);
}
ViStatus _VI_FUNC viGpibSendIFC(ViSession vi)
{
    return not_for_serial("viGpibSendIFC", {{"vi", num(vi)}}, vi);
}
ViStatus _VI_FUNC viGpibCommand(ViSession vi, ViConstBuf cmd, ViUInt32 cnt, ViPUInt32 retCnt)
{
    return not_for_serial(
        "viGpibCommand",
        {{"vi", num(vi)}, {"cmd", ptr(cmd)}, {"cnt", num(cnt)}, {"retCnt", ptr(retCnt)}}, vi);
}
ViStatus _VI_FUNC viGpibPassControl(ViSession vi, ViUInt16 primAddr, ViUInt16 secAddr)
{
    return not_for_serial("viGpibPassControl",
                          {{"vi", num(vi)}, {"primAddr", num(primAddr)}, {"secAddr", num(secAddr)}},
                          vi);
}
ViStatus _VI_FUNC viVxiCommandQuery(ViSession vi, ViUInt16 mode, ViUInt32 cmd, ViPUInt32 response)
{
    return not_for_serial(
        "viVxiCommandQuery",
        {{"vi", num(vi)}, {"mode", num(mode)}, {"cmd", num(cmd)}, {"response", ptr(response)}}, vi);
}
ViStatus _VI_FUNC viUsbControlOut(ViSession vi, ViInt16 bmRequestType, ViInt16 bRequest,
                                  ViUInt16 wValue, ViUInt16 wIndex, ViUInt16 wLength,
                                  ViConstBuf buf)
{
    return not_for_serial("viUsbControlOut",
                          {{"vi", num(vi)},
                           {"bmRequestType", num(bmRequestType)},
                           {"bRequest", num(bRequest)},
                           {"wValue", num(wValue)},
                           {"wIndex", num(wIndex)},
                           {"wLength", num(wLength)},
                           {"buf", ptr(buf)}},
                          vi);
}
ViStatus _VI_FUNC viUsbControlIn(ViSession vi, ViInt16 bmRequestType, ViInt16 bRequest,
                                 ViUInt16 wValue, ViUInt16 wIndex, ViUInt16 wLength, ViPBuf buf,
                                 ViPUInt16 retCnt)
{
    return not_for_serial("viUsbControlIn",
                          {{"vi", num(vi)},
                           {"bmRequestType", num(bmRequestType)},
                           {"bRequest", num(bRequest)},
                           {"wValue", num(wValue)},
                           {"wIndex", num(wIndex)},
                           {"wLength", num(wLength)},
                           {"buf", ptr(buf)},
                           {"retCnt", ptr(retCnt)}},
                          vi);
}

}  // extern "C"
