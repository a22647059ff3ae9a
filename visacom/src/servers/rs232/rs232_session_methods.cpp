// The one instantiation of the session's interface templates: every method of IVisaSession,
// IBaseMessage, ISerial and IEventManager that the templates define is compiled here.
#include "servers/rs232/rs232_svr.h"
#include "session/base_message_methods_all.h"

namespace mrv {

template class IEventManagerImpl<CRS232Svr>;
template class IBaseMessageImpl<ISerial, CRS232Svr>;

}  // namespace mrv
