#include "platform/x11/XcbSharedMemory.h"

#include <QByteArray>
#include <gtest/gtest.h>

TEST(XcbSharedMemory, UsersChoiceWinsAndOnlyItsAbsenceTurnsSharedMemoryOff) {
    static constexpr char name[] = "QT_XCB_NO_MITSHM";
    const bool wasSet = qEnvironmentVariableIsSet(name);
    const QByteArray old = qgetenv(name);
    struct Case {
        QByteArray given; // null: not set
        QByteArray expected; // null: not set, so Qt uses shared memory
    };
    const Case cases[] = {
        {QByteArray(), "1"}, {"0", QByteArray()},    {"false", QByteArray()}, {" Off ", QByteArray()},
        {"no", QByteArray()}, {"1", "1"},            {"yes", "yes"},          {"", ""},
    };
    for (const Case& c : cases) {
        if (c.given.isNull())
            qunsetenv(name);
        else
            qputenv(name, c.given);
        sendImagesOverSocketUnlessChosen();
        EXPECT_EQ(qEnvironmentVariableIsSet(name), !c.expected.isNull()) << c.given.constData();
        if (!c.expected.isNull()) {
            EXPECT_EQ(qgetenv(name), c.expected) << c.given.constData();
        }
    }
    if (wasSet)
        qputenv(name, old);
    else
        qunsetenv(name);
}
