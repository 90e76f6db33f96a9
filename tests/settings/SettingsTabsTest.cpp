#include "FakePlatform.h"
#include "FakeUpdateChecks.h"
#include "TestUtils.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "selection/AccessibilityService.h"
#include "selection/ExcludedAppsManager.h"
#include "selection/SelectionMonitor.h"
#include "services/AppVersion.h"
#include "settings/AboutTabView.h"
#include "settings/AppSelectorView.h"
#include "settings/FloatingBarTabView.h"
#include "settings/GeneralTabView.h"
#include "settings/LaunchAtLoginManager.h"
#include "settings/SettingsManager.h"
#include "settings/ShortcutsTabView.h"
#include "settings/SymbolTextButton.h"
#include "settings/ToggleSettingView.h"
#include "settings/ToggleSwitch.h"
#include "ui/MenuPicker.h"

#include <QLabel>
#include <functional>
#include <memory>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <gtest/gtest.h>

namespace {

UserDefaults& defaults() {
    return UserDefaults::standard();
}

RunningApplication app(const char* id, const char* name) {
    RunningApplication running;
    running.bundleIdentifier = QString::fromUtf8(id);
    running.localizedName = QString::fromUtf8(name);
    return running;
}

} // namespace

TEST(ToggleSettingView, ChangeActionFollowsTheStoredValue) {
    QList<bool> calls;
    ToggleSettingView row(QStringLiteral("Title"), QStringLiteral("Description"), QStringLiteral("someFlag"),
                          true, [&](bool value) {
                              calls.append(value);
                              // A platform step that fails stores the real state from inside the action.
                              if (value)
                                  defaults().set(QStringLiteral("someFlag"), false);
                          });
    ToggleSettingView silent(QStringLiteral("Other"), QString(), QStringLiteral("otherFlag"), false);
    row.show();
    silent.show();
    // Absent key: the declared default.
    EXPECT_TRUE(row.toggle()->isChecked());

    QTest::mouseClick(row.toggle(), Qt::LeftButton);
    EXPECT_EQ(calls, QList<bool>({false}));
    EXPECT_FALSE(defaults().boolean(QStringLiteral("someFlag")));

    // A change made elsewhere runs the action too; the action's own correction shows but runs nothing.
    defaults().set(QStringLiteral("someFlag"), true);
    EXPECT_EQ(calls, QList<bool>({false, true}));
    EXPECT_FALSE(row.toggle()->isChecked());
    EXPECT_FALSE(row.isOn());

    // Writing the value it already has is no change.
    defaults().set(QStringLiteral("someFlag"), false);
    EXPECT_EQ(calls.size(), 2);

    // Without an action the switch still flips its setting.
    QTest::mouseClick(silent.toggle(), Qt::LeftButton);
    EXPECT_TRUE(defaults().boolean(QStringLiteral("otherFlag")));
    EXPECT_TRUE(silent.toggle()->isChecked());
}

TEST(GeneralTab, EachToggleReachesThePlatform) {
    SettingsManager::shared();
    FakeLoginItem& login = fakePlatform().fakeLoginItem();
    FakeActivationPolicy& policy = fakePlatform().fakeActivationPolicy();
    login.enabled = true;
    defaults().set(QStringLiteral("launchAtLogin"), true);
    QList<QVariantMap> alwaysOnTop;
    QObject context;
    NotificationCenter::shared().addObserver(Notifications::AlwaysOnTopChanged, &context,
                                             [&](const QVariantMap& info) { alwaysOnTop.append(info); });

    FakeUpdateChecks updates;
    GeneralTabView tab;
    tab.show();
    struct Case {
        const char* name;
        ToggleSettingView* row;
        std::function<bool()> effectOn;
    };
    const QList<Case> cases = {
        {"launch at login", tab.launchAtLoginRow(), [&] { return login.enabled; }},
        {"show in dock", tab.showInDockRow(),
         [&] { return policy.current == ActivationPolicy::Policy::Regular; }},
        {"always on top", tab.alwaysOnTopRow(),
         [&] { return alwaysOnTop.last().value(QStringLiteral("value")).toBool(); }},
        {"automatic updates", tab.automaticUpdatesRow(),
         [&] { return updates.automatic; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int flip = 0; flip < 2; ++flip) {
            const bool wanted = !c.row->isOn();
            QTest::mouseClick(c.row->toggle(), Qt::LeftButton);
            EXPECT_EQ(defaults().boolean(c.row->key()), wanted);
            EXPECT_TRUE(waitUntil([&] { return c.effectOn() == wanted; }));
        }
    }
    EXPECT_EQ(tab.failureAlert(), nullptr);

    // "Check for Updates" starts a check and is disabled while one runs.
    QPushButton* check = tab.checkForUpdatesButton();
    ASSERT_TRUE(check->isEnabled());
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(updates.checks, 1);
    updates.setCanCheck(false);
    EXPECT_FALSE(check->isEnabled());
    updates.setCanCheck(true);
    EXPECT_TRUE(check->isEnabled());
}

TEST(GeneralTab, FailedLoginChangeKeepsTheChoiceAndSaysWhy) {
    SettingsManager::shared();
    FakeLoginItem& login = fakePlatform().fakeLoginItem();
    login.enabled = false;
    login.succeeds = false;
    defaults().set(QStringLiteral("launchAtLogin"), false);
    GeneralTabView tab;
    tab.show();
    ASSERT_FALSE(tab.launchAtLoginRow()->toggle()->isChecked());

    QTest::mouseClick(tab.launchAtLoginRow()->toggle(), Qt::LeftButton);
    EXPECT_TRUE(tab.launchAtLoginRow()->toggle()->isChecked());
    EXPECT_TRUE(defaults().boolean(QStringLiteral("launchAtLogin")));
    EXPECT_FALSE(login.enabled);
    ASSERT_TRUE(tab.failureAlert());
    EXPECT_EQ(tab.failureAlert()->text(), LaunchAtLoginManager::failureMessage(true));
    tab.failureAlert()->close();

    // Still failing when the tab appears again (as after a start that failed): said again.
    GeneralTabView reopened;
    reopened.show();
    ASSERT_TRUE(reopened.failureAlert());
    EXPECT_EQ(reopened.failureAlert()->text(), LaunchAtLoginManager::failureMessage(true));
    reopened.failureAlert()->close();

    // The item comes back once the platform allows it: the stored setting wins when the tab appears.
    login.succeeds = true;
    GeneralTabView again;
    again.show();
    EXPECT_TRUE(login.enabled);
    EXPECT_TRUE(again.launchAtLoginRow()->toggle()->isChecked());
    EXPECT_FALSE(again.failureAlert());
}

TEST(FloatingBarTab, SwitchAndProviderAreStoredAndAnnounced) {
    AccessibilityService reader;
    SelectionMonitor monitor(reader);
    FloatingBarTabView tab;
    tab.show();
    EXPECT_TRUE(tab.showFloatingBarRow()->toggle()->isChecked());
    EXPECT_EQ(tab.servicePicker()->currentText(), QStringLiteral("Google"));

    QTest::mouseClick(tab.showFloatingBarRow()->toggle(), Qt::LeftButton);
    EXPECT_FALSE(defaults().boolean(QStringLiteral("showFloatingBar")));
    EXPECT_FALSE(monitor.showFloatingBar());
    QTest::mouseClick(tab.showFloatingBarRow()->toggle(), Qt::LeftButton);
    EXPECT_TRUE(monitor.showFloatingBar());

    tab.servicePicker()->activated(tab.servicePicker()->findData(QStringLiteral("chatgpt")));
    EXPECT_EQ(defaults().string(QStringLiteral("floatingBarTranslationService")), QStringLiteral("chatgpt"));
    // A change of the key made elsewhere shows at once.
    defaults().set(QStringLiteral("floatingBarTranslationService"), QStringLiteral("deepl"));
    EXPECT_EQ(tab.servicePicker()->currentText(), QStringLiteral("DeepL"));
}

// A stored provider no picker row carries selects none (the actions then use Google); choosing a row
// stores it.
TEST(ProviderPickers, AStoredProviderThePickerDoesNotKnowSelectsNoRow) {
    const std::pair<const char*, std::function<std::unique_ptr<QWidget>(MenuPicker*&)>> tabs[] = {
        {"floatingBarTranslationService",
         [](MenuPicker*& picker) {
             auto tab = std::make_unique<FloatingBarTabView>();
             picker = tab->servicePicker();
             return tab;
         }},
        {"shortcutTranslationService",
         [](MenuPicker*& picker) {
             auto tab = std::make_unique<ShortcutsTabView>();
             picker = tab->servicePicker();
             return tab;
         }},
    };
    for (const auto& [key, makeTab] : tabs) {
        for (const char* stored : {"DeepL", "bing"}) {
            defaults().set(QString::fromLatin1(key), QString::fromLatin1(stored));
            MenuPicker* picker = nullptr;
            const std::unique_ptr<QWidget> tab = makeTab(picker);
            EXPECT_EQ(picker->currentIndex(), -1) << key << " " << stored;
            EXPECT_TRUE(picker->currentText().isEmpty()) << key << " " << stored;
            // A change made elsewhere to a known value selects its row, and back to an unknown one none.
            defaults().set(QString::fromLatin1(key), QStringLiteral("gemini"));
            EXPECT_EQ(picker->currentText(), QStringLiteral("Gemini"));
            defaults().set(QString::fromLatin1(key), QString::fromLatin1(stored));
            EXPECT_EQ(picker->currentIndex(), -1);

            Q_EMIT picker->activated(picker->findData(QStringLiteral("google")));
            EXPECT_EQ(defaults().string(QString::fromLatin1(key)), QStringLiteral("google")) << key;
        }
    }
}

TEST(FloatingBarTab, ExcludedAppsAddedAndRemovedReachTheSelectionMonitor) {
    FakeWorkspace& workspace = fakePlatform().fakeWorkspace();
    workspace.running = {app("org.gnome.TextEditor", "Text Editor"), app("xterm", "XTerm")};
    AccessibilityService reader;
    SelectionMonitor monitor(reader);
    // One entry whose application is gone from this machine.
    ExcludedAppsManager::saveExcludedApps({QStringLiteral("com.example.Gone")});

    FloatingBarTabView tab;
    tab.show();
    EXPECT_EQ(tab.excludedApps(), QStringList({QStringLiteral("com.example.Gone")}));
    EXPECT_FALSE(tab.emptyListLabel()->isVisible());
    // Rows show the identifier alone, also for an application the desktop names.
    const auto rowTexts = [&] {
        QStringList texts;
        for (QLabel* label : tab.listScrollArea()->widget()->findChildren<QLabel*>())
            texts.append(label->text());
        return texts;
    };
    EXPECT_EQ(rowTexts(), QStringList({QStringLiteral("com.example.Gone")}));

    // Add through the picker: the sheet closes after one choice.
    QTest::mouseClick(tab.addButton(), Qt::LeftButton);
    ASSERT_TRUE(tab.appSelector());
    ASSERT_TRUE(waitUntil([&] { return tab.appSelector()->rowButtons().size() == 2; }));
    QTest::mouseClick(tab.appSelector()->rowButtons()[1], Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return tab.appSelectorSheet() == nullptr; }));
    const QStringList both = {QStringLiteral("com.example.Gone"), QStringLiteral("xterm")};
    EXPECT_EQ(tab.excludedApps(), both);
    EXPECT_EQ(monitor.excludedApps(), both);
    EXPECT_EQ(rowTexts(), both);

    // Choosing one already listed closes the sheet and changes nothing; Cancel adds nothing.
    tab.presentAppSelector();
    ASSERT_TRUE(waitUntil([&] { return tab.appSelector() && tab.appSelector()->rowButtons().size() == 2; }));
    QTest::mouseClick(tab.appSelector()->rowButtons()[1], Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return tab.appSelectorSheet() == nullptr; }));
    tab.presentAppSelector();
    QTest::mouseClick(tab.appSelector()->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return tab.appSelectorSheet() == nullptr; }));
    EXPECT_EQ(tab.excludedApps(), both);

    // An id the store cannot keep is refused with a message, not dropped silently.
    fakePlatform().fakeWorkspace().running.append(app("odd,name", "Odd"));
    tab.presentAppSelector();
    ASSERT_TRUE(waitUntil([&] { return tab.appSelector() && tab.appSelector()->rowButtons().size() == 3; }));
    QTest::mouseClick(tab.appSelector()->rowButtons()[0], Qt::LeftButton);
    EXPECT_EQ(tab.excludedApps(), both);
    auto* refusal = tab.window()->findChild<QMessageBox*>();
    ASSERT_TRUE(refusal);
    EXPECT_TRUE(refusal->text().contains(QLatin1String("odd,name")));
    refusal->close();

    // An exclusion made elsewhere (the floating bar's own action) shows when the tab is shown again.
    ExcludedAppsManager::addExcludedApp(QStringLiteral("org.gnome.TextEditor"));
    EXPECT_EQ(tab.excludedApps(), both);
    tab.hide();
    tab.show();
    EXPECT_EQ(tab.excludedApps().size(), 3);
    // The note, the box and the button stand 10 apart.
    QWidget* box = tab.emptyListLabel()->parentWidget();
    EXPECT_EQ(tab.addButton()->geometry().top() - box->geometry().bottom() - 1, 10);

    // Removing takes exactly that entry.
    QTest::mouseClick(tab.removeButtons()[0], Qt::LeftButton);
    const QStringList rest = {QStringLiteral("xterm"), QStringLiteral("org.gnome.TextEditor")};
    EXPECT_EQ(tab.excludedApps(), rest);
    EXPECT_EQ(monitor.excludedApps(), rest);
    QTest::mouseClick(tab.removeButtons()[0], Qt::LeftButton);
    QTest::mouseClick(tab.removeButtons()[0], Qt::LeftButton);
    EXPECT_TRUE(tab.excludedApps().isEmpty());
    EXPECT_TRUE(monitor.excludedApps().isEmpty());
    EXPECT_TRUE(tab.emptyListLabel()->isVisible());
    EXPECT_EQ(tab.emptyListLabel()->text(), QStringLiteral("No applications excluded"));
}

// A stored value that cannot be read is shown as such, and adding says why nothing was added.
TEST(FloatingBarTab, AnUnreadableStoredListIsShownAndNamedWhenAddingFails) {
    fakePlatform().fakeWorkspace().running = {app("xterm", "XTerm")};
    const QVariantMap unreadable{{QStringLiteral("nested"), 1}};
    defaults().set(QStringLiteral("excludedApps"), unreadable);
    FloatingBarTabView tab;
    tab.show();
    EXPECT_TRUE(tab.emptyListLabel()->isVisible());
    EXPECT_EQ(tab.emptyListLabel()->text(), QStringLiteral("The stored list of excluded applications cannot be read"));

    tab.presentAppSelector();
    ASSERT_TRUE(waitUntil([&] { return tab.appSelector() && tab.appSelector()->rowButtons().size() == 1; }));
    QTest::mouseClick(tab.appSelector()->rowButtons()[0], Qt::LeftButton);
    auto* refusal = tab.window()->findChild<QMessageBox*>();
    ASSERT_TRUE(refusal);
    EXPECT_TRUE(refusal->text().contains(QLatin1String("cannot be read"))) << refusal->text().toStdString();
    EXPECT_FALSE(refusal->text().contains(QLatin1String("comma")));
    refusal->close();
    EXPECT_EQ(defaults().object(QStringLiteral("excludedApps")).toMap(), unreadable);
}

TEST(AboutTab, ShowsTheVersionAndOpensEachLink) {
    AboutTabView tab;
    tab.show();
    EXPECT_EQ(tab.versionLabel()->text(), QStringLiteral("Version ") + getAppVersion());
    ASSERT_EQ(tab.linkButtons().size(), 5);
    QStringList titles;
    for (SymbolTextButton* button : tab.linkButtons()) {
        titles.append(button->text());
        QTest::mouseClick(button, Qt::LeftButton);
    }
    EXPECT_EQ(titles, QStringList({QStringLiteral("Website"), QStringLiteral("X (Twitter)"),
                                   QStringLiteral("Privacy Policy"), QStringLiteral("Terms of Service"),
                                   QStringLiteral("Support")}));
    const QList<QUrl>& opened = fakePlatform().fakeWorkspace().openedUrls;
    ASSERT_EQ(opened.size(), 5);
    EXPECT_EQ(opened[0].scheme(), QStringLiteral("https"));
    for (int page : {2, 3}) {
        EXPECT_EQ(opened[page].scheme(), opened[0].scheme());
        EXPECT_EQ(opened[page].host(), opened[0].host());
    }
    EXPECT_EQ(opened[2].path(), QStringLiteral("/privacy"));
    EXPECT_EQ(opened[3].path(), QStringLiteral("/terms"));
    EXPECT_EQ(opened[4].scheme(), QStringLiteral("mailto"));
    for (const QUrl& url : opened)
        EXPECT_TRUE(url.isValid()) << url.toString().toStdString();

    QCoreApplication::processEvents();
    EXPECT_FALSE(tab.findChild<QMessageBox*>());

    // Nothing to open it with: the user is told, with the address, once the desktop has said so.
    fakePlatform().fakeWorkspace().opensUrls = false;
    QTest::mouseClick(tab.linkButtons()[4], Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return tab.findChild<QMessageBox*>() != nullptr; }));
    auto* message = tab.findChild<QMessageBox*>();
    EXPECT_TRUE(message->text().contains(opened[4].toString()));
    message->close();
}

TEST(AboutTab, VersionFallsBackWhenTheBuildSetsNone) {
    const QList<QPair<QString, QString>> cases = {
        {QString(), QStringLiteral("1.0.0")},
        {QStringLiteral("  "), QStringLiteral("1.0.0")},
        {QStringLiteral("2.4.1"), QStringLiteral("2.4.1")},
    };
    for (const auto& [build, shown] : cases)
        EXPECT_EQ(appVersionFromBuild(build), shown) << build.toStdString();
}
