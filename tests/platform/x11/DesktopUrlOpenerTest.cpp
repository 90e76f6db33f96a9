#include "TestUtils.h"
#include "platform/x11/DesktopUrlOpener.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

QString script(const QTemporaryDir& dir, const char* name, const char* body) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray("#!/bin/sh\n") + body + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

// The opener's exit status is the answer; one that keeps running has handed the URL on. Each open is
// answered exactly once.
TEST(DesktopUrlOpener, AnswersOnceFromTheOpenersExitOrItsStayingOpen) {
    QTemporaryDir dir;
    QObject context;
    const QString handedOver = dir.filePath(QStringLiteral("url"));
    const struct {
        const char* name;
        QString program;
        bool opened;
    } cases[] = {
        {"opened", script(dir, "opens", qPrintable(QStringLiteral("printf %s \"$1\" > '%1'").arg(handedOver))), true},
        {"no application for it", script(dir, "fails", "exit 3"), false},
        {"killed", script(dir, "killed", "kill -9 $$"), false},
        {"no opener at all", dir.filePath(QStringLiteral("missing")), false},
        {"still running", script(dir, "stays", "sleep 2; exit 4"), true},
    };
    for (const auto& c : cases) {
        int answers = 0;
        std::optional<bool> opened;
        DesktopUrlOpener::open(QUrl(QStringLiteral("mailto:someone@example.org?subject=a b")), &context,
                               [&](bool result) {
                                   ++answers;
                                   opened = result;
                               },
                               c.program, std::chrono::milliseconds(300));
        ASSERT_TRUE(waitUntil([&] { return opened.has_value(); })) << c.name;
        EXPECT_EQ(*opened, c.opened) << c.name;
        EXPECT_EQ(answers, 1) << c.name;
    }
    QFile url(handedOver);
    ASSERT_TRUE(url.open(QIODevice::ReadOnly));
    EXPECT_EQ(url.readAll(), QByteArray("mailto:someone@example.org?subject=a%20b"));
}
