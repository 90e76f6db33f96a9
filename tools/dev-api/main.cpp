// QUILLORA_DEV_API_SALT=S quillora-dev-api --port N [--log FILE]: the local stand-in of the web API (and
// of the web site's update feed). Listens on 127.0.0.1 only; prints the port it listens on as the first
// line of standard output.
#include "StandInServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillora-dev-api"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local stand-in of the Quillora web API"));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port; 0 picks a free one."),
                                        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption saltOption(
        QStringLiteral("salt"), QStringLiteral("Client salt of the signatures."), QStringLiteral("salt"));
    const QCommandLineOption logOption(
        QStringLiteral("log"), QStringLiteral("Append one JSON line per request."), QStringLiteral("file"));
    parser.addOptions({portOption, saltOption, logOption});
    parser.process(app);

    // The environment keeps the salt out of the process list.
    const QString salt = parser.isSet(saltOption) ? parser.value(saltOption)
                                                  : qEnvironmentVariable("QUILLORA_DEV_API_SALT");
    if (salt.isEmpty()) {
        std::fprintf(stderr, "quillora-dev-api: give the client salt in QUILLORA_DEV_API_SALT (or --salt)\n");
        return 2;
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "quillora-dev-api: --port needs a number from 0 to 65535\n");
        return 2;
    }

    StandInServer server(salt.toUtf8(), parser.value(logOption));
    if (parser.isSet(logOption) && !server.logIsOpen()) {
        std::fprintf(stderr, "quillora-dev-api: cannot open the log %s\n",
                     qPrintable(parser.value(logOption)));
        return 1;
    }
    const quint16 bound = server.listen(QHostAddress::LocalHost, quint16(port));
    if (bound == 0) {
        std::fprintf(stderr, "quillora-dev-api: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    std::printf("%u\n", unsigned(bound));
    std::fflush(stdout);
    return app.exec();
}
