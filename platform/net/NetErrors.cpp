#include "platform/net/NetErrors.h"

#include <string>

namespace platform {

bool isConnectionLostError(const Error& error)
{
    if (error.domain() == kPosixErrorDomain)
        return error.code() == kPhoneENOTCONN || error.code() == kPhoneEPIPE;
    if (error.domain() == kCFNetworkErrorDomain)
        return error.code() == kCFNetworkErrorNetworkConnectionLost;
    return false;
}

bool isTlsError(const Error& error)
{
    return error.domain() == kOSStatusErrorDomain && error.code() >= -9818 && error.code() <= -9800;
}

} // namespace platform
