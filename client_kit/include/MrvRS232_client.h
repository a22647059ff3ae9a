#pragma once
// What a C or C++ program needs to use the Morvane VISA COM ASRL session server:
//
//   visacom.h, visacom_i.c    the VISA COM interfaces (IVisaSession, IMessage, ISerial,
//                             IEventManager, ...) and their IIDs (IID_IVisaSession, ...)
//   MrvRS232.h, MrvRS232_i.c  the server's coclass RS232Svr (CLSID_RS232Svr), its type library
//                             (LIBID_MorvaneRS232Lib) and its own interfaces
//
// Compile visacom_i.c and MrvRS232_i.c into the program and link ole32, oleaut32 and uuid.
#include <windows.h>
#include <ole2.h>

#include "visacom.h"
#include "MrvRS232.h"

// The session class's ProgIDs: the version-independent one follows CurVer to the current
// version.
#define MRVRS232_PROGID L"MorvaneRS232.RS232Svr"
#define MRVRS232_PROGID_VERSION_1 L"MorvaneRS232.RS232Svr.1"
