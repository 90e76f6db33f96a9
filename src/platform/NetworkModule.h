#pragma once

#include "platform/HttpClient.h"

#include <QString>

// The HTTP stack lives in a module of its own (Qt Network with its TLS, proxy and Kerberos libraries weighs
// megabytes and start-up time), loaded when the first request is made.
class NetworkModule {
public:
    // Next to the executable, as the build and an installation place it, unless tests moved it.
    static QString defaultPath();
    static void setDefaultPathForTesting(const QString& path);

    // A client owned by `parent`, or null when the module cannot be loaded (logged).
    static HttpClient* createClient(QObject* parent, const QString& modulePath = defaultPath());
};
