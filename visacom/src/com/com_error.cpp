#include "com/com_error.h"

#include <oleauto.h>

namespace mrv {

void throw_com_error(HRESULT hr)
{
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) != S_OK)
        info = nullptr;
    throw _com_error(hr, info);
}

}  // namespace mrv
