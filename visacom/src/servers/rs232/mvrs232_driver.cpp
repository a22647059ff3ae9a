#include "servers/rs232/mvrs232_driver.h"

namespace mrv {

mvrs232_driver::~mvrs232_driver() = default;

ViStatus mvrs232_driver::open(ViConstRsrc name, ViAccessMode mode, ViUInt32 open_timeout,
                              ViStatus* out_status)
{
    return visa_driver::open(name, mode, open_timeout, out_status);
}

ViStatus mvrs232_driver::set_buffer_size(bool input, ViUInt32 size)
{
    return viSetBuf(input ? VI_IO_IN_BUF : VI_IO_OUT_BUF, size);
}

}  // namespace mrv
