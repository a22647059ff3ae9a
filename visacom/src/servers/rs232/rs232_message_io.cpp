// IMessage transfers of the serial session: Read, ReadString, Write and WriteString.
#include "rs232_svr.h"

namespace mrv {

// Scaffolding: waiting for message I/O.
HRESULT CRS232Svr::IMessage_Read(long, SAFEARRAY**)
{
    return scaffolding<pending_work::message_io>();
}

HRESULT CRS232Svr::IMessage_ReadString(long, BSTR*)
{
    return scaffolding<pending_work::message_io>();
}

HRESULT CRS232Svr::IMessage_Write(SAFEARRAY**, long, long*)
{
    return scaffolding<pending_work::message_io>();
}

HRESULT CRS232Svr::IMessage_WriteString(BSTR, long*)
{
    return scaffolding<pending_work::message_io>();
}

}  // namespace mrv
