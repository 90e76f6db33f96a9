// The entry point of the network module, which alone links Qt Network and the TLS, proxy and Kerberos
// libraries behind it; the application loads it when it makes its first request.
#include "platform/qtnetwork/QtHttpClient.h"

extern "C" Q_DECL_EXPORT HttpClient* quilloraNetworkCreateClient(QObject* parent) {
    return new QtHttpClient(parent);
}
