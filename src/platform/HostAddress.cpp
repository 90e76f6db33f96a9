#include "platform/HostAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

bool isLoopbackHost(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    // inet_aton stops at white space and would take what follows for a comment.
    for (const QChar c : host) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('.') && c != QLatin1Char(':'))
            return false;
    }
    const QByteArray text = host.toLatin1();
    in_addr v4{};
    if (::inet_aton(text.constData(), &v4) != 0)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, text.constData(), &v6) != 1)
        return false;
    if (IN6_IS_ADDR_LOOPBACK(&v6))
        return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}
