#include "FakePlatform.h"
#include "TestUtils.h"
#include "settings/AppSelectorView.h"
#include "settings/RunningAppsService.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

RunningApplication app(const char* id, const char* name, qint64 processId = 1) {
    RunningApplication running;
    running.bundleIdentifier = QString::fromUtf8(id);
    running.localizedName = QString::fromUtf8(name);
    running.processId = processId;
    return running;
}

QStringList names(const QList<RunningApp>& apps) {
    QStringList result;
    for (const RunningApp& app : apps)
        result.append(app.name);
    return result;
}

QStringList ids(const QList<RunningApp>& apps) {
    QStringList result;
    for (const RunningApp& app : apps)
        result.append(app.bundleIdentifier);
    return result;
}

} // namespace

TEST(RunningAppsService, ListsNamedApplicationsInCodePointOrder) {
    FakeWorkspace& workspace = fakePlatform().fakeWorkspace();
    workspace.running = {
        app("zoom", "Zoom"),
        // "É" as E and a combining accent: normalised before comparing.
        app("org.example.Editeur", "E\u0301diteur"),
        app("calendar", "calendar"),
        app("", "No Identifier"),
        app("no.name", ""),
        app("first.Same", "Same"),
        app("second.Same", "Same"),
        app("emoji", "\U0001F600 Smile"),
        app("private.use", "\uE000 Private"),
        app("quillora", "Quillora", QCoreApplication::applicationPid()),
    };
    workspace.icons.insert(QStringLiteral("zoom"), QIcon(QPixmap(8, 8)));

    const QList<RunningApp> apps = RunningAppsService::getRunningApps();
    // Quillora itself is listed like any other application.
    EXPECT_EQ(ids(apps), QStringList({"quillora", "first.Same", "second.Same", "zoom", "calendar",
                                      "org.example.Editeur", "private.use", "emoji"}));
    EXPECT_FALSE(apps[3].icon.isNull());
    EXPECT_TRUE(apps[4].icon.isNull());
    // Every listing makes fresh ids.
    EXPECT_NE(RunningAppsService::getRunningApps()[0].id, apps[0].id);

    workspace.running.clear();
    EXPECT_TRUE(RunningAppsService::getRunningApps().isEmpty());
}

TEST(RunningAppsService, SearchMatchesNamesIgnoringCaseOnly) {
    const QList<RunningApp> apps = {
        {QUuid::createUuid(), QStringLiteral("Safari"), QStringLiteral("com.apple.Safari"), {}},
        {QUuid::createUuid(), QStringLiteral("Visual Studio Code"), QStringLiteral("code"), {}},
        {QUuid::createUuid(), QStringLiteral("com.tool"), QStringLiteral("tool"), {}},
        {QUuid::createUuid(), QStringLiteral("Éditeur"), QStringLiteral("editeur"), {}},
    };
    const QList<QPair<QString, QStringList>> cases = {
        {QString(), {"Safari", "Visual Studio Code", "com.tool", "Éditeur"}},
        {QStringLiteral("SAFARI"), {"Safari"}},
        // The bundle identifier is not searched.
        {QStringLiteral("com."), {"com.tool"}},
        // Not trimmed: spaces match names with spaces.
        {QStringLiteral(" "), {"Visual Studio Code"}},
        {QStringLiteral("éditeur"), {"Éditeur"}},
        // Accents count.
        {QStringLiteral("editeur"), {}},
        {QStringLiteral("nothing"), {}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(names(RunningAppsService::filter(apps, text, QLocale::c())), expected) << text.toStdString();

    // A Turkish user's cases: I and ı, İ and i are pairs.
    const QList<RunningApp> turkish = {
        {QUuid::createUuid(), QStringLiteral("Işık Not"), QStringLiteral("isik"), {}},
        {QUuid::createUuid(), QStringLiteral("İzmir Harita"), QStringLiteral("izmir"), {}},
    };
    const QList<QPair<QString, QStringList>> turkishCases = {
        {QStringLiteral("ışık"), {"Işık Not"}},      {QStringLiteral("IŞIK"), {"Işık Not"}},
        {QStringLiteral("izmir"), {"İzmir Harita"}}, {QStringLiteral("İZMİR"), {"İzmir Harita"}},
        {QStringLiteral("isik"), {}},                {QStringLiteral("IZMIR"), {}},
    };
    for (const auto& [text, expected] : turkishCases) {
        EXPECT_EQ(names(RunningAppsService::filter(turkish, text, QLocale(QLocale::Turkish))), expected)
            << text.toStdString();
    }
}

TEST(AppSelectorView, SearchesClearsAndHandsBackTheChoice) {
    fakePlatform().fakeWorkspace().running = {app("org.gnome.TextEditor", "Text Editor"),
                                              app("xterm", "XTerm"), app("vim", "Vim")};
    QStringList chosen;
    AppSelectorView picker([&](const QString& id) { chosen.append(id); });
    QSignalSpy dismissed(&picker, &AppSelectorView::dismissRequested);
    // Nothing is listed before the picker comes on screen.
    EXPECT_TRUE(picker.rowButtons().isEmpty());
    picker.resize(AppSelectorView::sheetSize);
    picker.show();
    picker.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&picker));
    ASSERT_EQ(picker.rowButtons().size(), 3);
    EXPECT_FALSE(picker.clearButton()->isVisible());

    QTest::keyClicks(picker.searchField(), QStringLiteral("te"));
    EXPECT_EQ(names(picker.filteredApps()), QStringList({"Text Editor", "XTerm"}));
    EXPECT_EQ(picker.rowButtons().size(), 2);
    EXPECT_TRUE(picker.clearButton()->isVisible());

    // Clicking a row anywhere across its width chooses it and leaves the picker open.
    QAbstractButton* row = picker.rowButtons()[1];
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() - 5, row->height() / 2));
    EXPECT_EQ(chosen, QStringList({"xterm"}));
    EXPECT_TRUE(picker.isVisible());

    QTest::mouseClick(picker.clearButton(), Qt::LeftButton);
    EXPECT_TRUE(picker.searchText().isEmpty());
    EXPECT_FALSE(picker.clearButton()->isVisible());
    EXPECT_EQ(picker.rowButtons().size(), 3);

    QTest::keyClicks(picker.searchField(), QStringLiteral("zzz"));
    EXPECT_TRUE(picker.rowButtons().isEmpty());

    // Escape alone does not dismiss; Ctrl+Escape and Cancel do, without a choice.
    QTest::keyClick(picker.searchField(), Qt::Key_Escape);
    EXPECT_EQ(dismissed.count(), 0);
    QTest::keyClick(picker.searchField(), Qt::Key_Escape, Qt::ControlModifier);
    QTest::mouseClick(picker.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(dismissed.count(), 2);
    EXPECT_EQ(chosen.size(), 1);
}
