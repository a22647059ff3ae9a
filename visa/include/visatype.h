/* VISA C scalar types, written from the VISA C standard's type definitions.
 *
 * Widths: ViUInt32 and ViInt32 are 32-bit on every target (never `long`-sized), so the handle
 * types (ViSession, ViObject, ViEvent, ViFindList, ViJobId, ViAttr, ViAccessMode ...) are 32-bit
 * while ViAttrState, ViBusAddress and ViBusSize follow the pointer size. */
#ifndef VISATYPE_H
#define VISATYPE_H

#include <stdint.h>

/* Calling conventions: __stdcall is a no-op on x64 but keeps 32-bit builds compatible. */
#if defined(_WIN64)
#define _VI_FAR
#define _VI_FUNC __stdcall
#define _VI_FUNCC __cdecl
#define _VI_FUNCH __stdcall
#define _VI_SIGNED signed
#elif defined(_WIN32)
#define _VI_FAR
#define _VI_FUNC __stdcall
#define _VI_FUNCC __cdecl
#define _VI_FUNCH __stdcall
#define _VI_SIGNED signed
#else
#define _VI_FAR
#define _VI_FUNC
#define _VI_FUNCC
#define _VI_FUNCH
#define _VI_SIGNED signed
#endif

#define _VI_ERROR (-2147483647L - 1) /* 0x80000000 */
#define _VI_PTR _VI_FAR *

typedef uint64_t ViUInt64;
typedef int64_t ViInt64;
typedef ViUInt64 _VI_PTR ViPUInt64;
typedef ViUInt64 _VI_PTR ViAUInt64;
typedef ViInt64 _VI_PTR ViPInt64;
typedef ViInt64 _VI_PTR ViAInt64;

typedef uint32_t ViUInt32;
typedef int32_t ViInt32;
typedef ViUInt32 _VI_PTR ViPUInt32;
typedef ViUInt32 _VI_PTR ViAUInt32;
typedef ViInt32 _VI_PTR ViPInt32;
typedef ViInt32 _VI_PTR ViAInt32;

typedef unsigned short ViUInt16;
typedef ViUInt16 _VI_PTR ViPUInt16;
typedef ViUInt16 _VI_PTR ViAUInt16;
typedef _VI_SIGNED short ViInt16;
typedef ViInt16 _VI_PTR ViPInt16;
typedef ViInt16 _VI_PTR ViAInt16;

typedef unsigned char ViUInt8;
typedef ViUInt8 _VI_PTR ViPUInt8;
typedef ViUInt8 _VI_PTR ViAUInt8;
typedef _VI_SIGNED char ViInt8;
typedef ViInt8 _VI_PTR ViPInt8;
typedef ViInt8 _VI_PTR ViAInt8;

typedef char ViChar;
typedef ViChar _VI_PTR ViPChar;
typedef ViChar _VI_PTR ViAChar;

typedef unsigned char ViByte;
typedef ViByte _VI_PTR ViPByte;
typedef ViByte _VI_PTR ViAByte;

typedef void _VI_PTR ViAddr;
typedef ViAddr _VI_PTR ViPAddr;
typedef ViAddr _VI_PTR ViAAddr;

typedef float ViReal32;
typedef ViReal32 _VI_PTR ViPReal32;
typedef ViReal32 _VI_PTR ViAReal32;

typedef double ViReal64;
typedef ViReal64 _VI_PTR ViPReal64;
typedef ViReal64 _VI_PTR ViAReal64;

typedef ViPByte ViBuf;
typedef const ViByte *ViConstBuf;
typedef ViPByte ViPBuf;
typedef ViPByte _VI_PTR ViABuf;

typedef ViPChar ViString;
typedef const ViChar *ViConstString;
typedef ViPChar ViPString;
typedef ViPChar _VI_PTR ViAString;

typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViString ViPRsrc;
typedef ViString _VI_PTR ViARsrc;

typedef ViUInt16 ViBoolean;
typedef ViBoolean _VI_PTR ViPBoolean;
typedef ViBoolean _VI_PTR ViABoolean;

typedef ViInt32 ViStatus;
typedef ViStatus _VI_PTR ViPStatus;
typedef ViStatus _VI_PTR ViAStatus;

typedef ViUInt32 ViVersion;
typedef ViVersion _VI_PTR ViPVersion;
typedef ViVersion _VI_PTR ViAVersion;

typedef ViUInt32 ViObject;
typedef ViObject _VI_PTR ViPObject;
typedef ViObject _VI_PTR ViAObject;

typedef ViObject ViSession;
typedef ViSession _VI_PTR ViPSession;
typedef ViSession _VI_PTR ViASession;

typedef ViUInt32 ViAttr;

typedef const ViChar *ViConstKeyId; /* the standard's ViKeyId is writable text */
typedef ViPChar ViKeyId;
typedef ViPChar ViPKeyId;

typedef ViUInt32 ViAccessMode;
typedef ViAccessMode _VI_PTR ViPAccessMode;

typedef ViUInt32 ViEventType;
typedef ViEventType _VI_PTR ViPEventType;
typedef ViEventType _VI_PTR ViAEventType;
typedef void _VI_PTR ViPAttrState;
typedef ViAttr _VI_PTR ViPAttr;
typedef ViAttr _VI_PTR ViAAttr;

typedef ViObject ViEvent;
typedef ViEvent _VI_PTR ViPEvent;
typedef ViObject ViFindList;
typedef ViFindList _VI_PTR ViPFindList;

typedef ViUInt32 ViJobId;
typedef ViJobId _VI_PTR ViPJobId;

typedef ViUInt32 ViEventFilter;

/* Pointer-sized on every target: an attribute value may carry an address. */
#if defined(_WIN64) || (defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 8)
typedef ViUInt64 ViAttrState;
typedef ViUInt64 ViBusAddress;
typedef ViUInt64 ViBusSize;
#else
typedef ViUInt32 ViAttrState;
typedef ViUInt32 ViBusAddress;
typedef ViUInt32 ViBusSize;
#endif
typedef ViBusAddress _VI_PTR ViPBusAddress;
typedef ViBusSize _VI_PTR ViPBusSize;
typedef ViUInt64 ViBusAddress64;
typedef ViBusAddress64 _VI_PTR ViPBusAddress64;

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0

#endif /* VISATYPE_H */
