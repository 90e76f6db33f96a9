#pragma once

#include <QString>

// Whether `host` (as a URL gives it: a name, an IPv4 address in any of its written forms, or an IPv6 address
// without brackets) names this machine's loopback interface.
bool isLoopbackHost(const QString& host);
