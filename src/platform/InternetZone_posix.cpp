// POSIX: no browser zones in the system; nothing to set.
#include "platform/InternetZone.h"

namespace trs {

void AllowCrossDomainDataAccess() {}

}  // namespace trs
