// Reading and matching desktop entries, on files in a temporary data directory.
#include "platform/x11/DesktopEntryIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DesktopEntryIndexTest : public ::testing::Test {
protected:
    void write(const QString& relativePath, const QByteArray& contents) {
        const QString path = m_dir.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QString dir(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

TEST_F(DesktopEntryIndexTest, MatchesByStartupWMClassThenByFileName) {
    write("home/org.gnome.TextEditor.desktop",
          "[Desktop Entry]\nType=Application\nName=Text "
          "Editor\nStartupWMClass=gnome-text-editor\nIcon=org.gnome.TextEditor\n");
    write("home/firefox-esr.desktop", "[Desktop Entry]\nType=Application\nName=Firefox ESR\n");
    write("home/Terminal.desktop", "[Desktop Entry]\nType=Application\nName=Terminal\n");
    const DesktopEntryIndex index = DesktopEntryIndex::load({dir("home")});
    ASSERT_EQ(index.size(), 3);

    const DesktopEntry* editor = index.match("gnome-text-editor", "Gnome-text-editor");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->id, "org.gnome.TextEditor");
    EXPECT_EQ(editor->path, dir("home/org.gnome.TextEditor.desktop"));
    EXPECT_EQ(editor->icon, "org.gnome.TextEditor");

    const DesktopEntry* firefox = index.match("Navigator", "firefox-esr");
    ASSERT_NE(firefox, nullptr);
    EXPECT_EQ(firefox->id, "firefox-esr");
    const DesktopEntry* terminal = index.match("terminal", "");
    ASSERT_NE(terminal, nullptr) << "the instance, case aside, names the entry";
    EXPECT_EQ(terminal->id, "Terminal");

    EXPECT_EQ(index.match("xterm", "XTerm"), nullptr);
    EXPECT_EQ(index.match("", ""), nullptr);
}

// Entries that name no window class: a reverse-domain id ending in the class, or the program Exec starts.
TEST_F(DesktopEntryIndexTest, MatchesEntriesWithoutAWindowClassByIdEndingOrProgram) {
    write("home/org.xfce.mousepad-settings.desktop",
          "[Desktop Entry]\nType=Application\nName=Text Editor Settings\nExec=mousepad --preferences\n");
    write("home/org.xfce.mousepad.desktop",
          "[Desktop Entry]\nType=Application\nName=Mousepad\nExec=mousepad %U\nIcon=org.xfce.mousepad\n");
    write("home/a-prefs.desktop", "[Desktop Entry]\nType=Application\nName=Prefs\nExec=/opt/ed/editor2 --prefs\n");
    write("home/b-main.desktop",
          "[Desktop Entry]\nType=Application\nName=Editor Two\nExec=env LANG=C \"/opt/ed/editor2\" %F\n");
    write("home/viewer.desktop", "[Desktop Entry]\nType=Application\nName=Viewer\nExec=\"/opt/my viewer/view-bin\"\n");
    const DesktopEntryIndex index = DesktopEntryIndex::load({dir("home")});

    const DesktopEntry* mousepad = index.match("mousepad", "Mousepad");
    ASSERT_NE(mousepad, nullptr);
    EXPECT_EQ(mousepad->id, "org.xfce.mousepad");
    EXPECT_EQ(mousepad->icon, "org.xfce.mousepad");
    const DesktopEntry* editor = index.match("editor2", "Editor2");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->id, "b-main") << "the entry that starts the program plainly, not its preferences";
    const DesktopEntry* viewer = index.match("view-bin", "");
    ASSERT_NE(viewer, nullptr) << "a quoted program path with a space";
    EXPECT_EQ(viewer->id, "viewer");
    EXPECT_EQ(index.match("prefs", "Prefs"), nullptr) << "a name is no match";
}

TEST_F(DesktopEntryIndexTest, EarlierFoldersWinAndHiddenEntriesMaskLaterOnes) {
    write("home/editor.desktop", "[Desktop Entry]\nType=Application\nName=Mine\n");
    write("system/editor.desktop", "[Desktop Entry]\nType=Application\nName=System\n");
    write("home/viewer.desktop", "[Desktop Entry]\nType=Application\nName=Viewer\nHidden=true\n");
    write("system/viewer.desktop", "[Desktop Entry]\nType=Application\nName=Viewer\n");
    write("system/kde/settings.desktop", "[Desktop Entry]\nType=Application\nName=Settings\n");
    write("system/folder.desktop", "[Desktop Entry]\nType=Directory\nName=Folder\n");
    write("system/broken.desktop", "no group at all\nType=Application\n");
    write("system/notes.txt", "[Desktop Entry]\nType=Application\nName=Notes\n");
    write("system/viewer.desktop.orig", "[Desktop Entry]\nType=Application\nName=Old viewer\n");
    const DesktopEntryIndex index = DesktopEntryIndex::load({dir("home"), dir("missing"), dir("system")});

    ASSERT_NE(index.entryWithId("editor"), nullptr);
    EXPECT_EQ(index.entryWithId("editor")->name, "Mine");
    EXPECT_EQ(index.entryWithId("viewer"), nullptr);
    ASSERT_NE(index.entryWithId("kde-settings"), nullptr) << "subfolders join the id with '-'";
    EXPECT_EQ(index.entryAtPath(dir("system/kde/settings.desktop")), index.entryWithId("kde-settings"));
    EXPECT_EQ(index.entryWithId("folder"), nullptr);
    EXPECT_EQ(index.entryWithId("broken"), nullptr);
    EXPECT_EQ(index.entryAtPath(dir("system/notes.txt")), nullptr) << "only .desktop files are entries";
    EXPECT_EQ(index.entryAtPath(dir("system/viewer.desktop.orig")), nullptr);
}

TEST_F(DesktopEntryIndexTest, ReadsOnlyTheMainGroupAndItsLocalisedNames) {
    DesktopEntry entry;
    ASSERT_TRUE(
        DesktopEntryIndex::parse("# comment\n[Desktop Entry]\nName = Word\\sProcessor\n"
                                 "Name[de]=Textverarbeitung\nName[pt_BR]=Processador\nType=Application\n"
                                 "[Desktop Action new]\nName=New Document\nIcon=other\n",
                                 entry));
    EXPECT_EQ(entry.name, "Word Processor");
    EXPECT_TRUE(entry.icon.isEmpty()) << "keys of the action group do not leak into the entry";
    EXPECT_EQ(entry.localizedName(QLocale(QStringLiteral("de_AT"))), "Textverarbeitung");
    EXPECT_EQ(entry.localizedName(QLocale(QStringLiteral("pt_BR"))), "Processador");
    EXPECT_EQ(entry.localizedName(QLocale(QStringLiteral("pt_PT"))), "Word Processor");
    EXPECT_EQ(entry.localizedName(QLocale::c()), "Word Processor");
}

} // namespace

// The cache answers while the folders hold the same files; an added, removed or rewritten file, or another
// list of folders, reads them again and writes the cache anew.
TEST_F(DesktopEntryIndexTest, CacheStandsForTheFilesWhileTheyStayTheSame) {
    write("home/editor.desktop", "[Desktop Entry]\nType=Application\nName=Editor\nName[de]=Bearbeiter\n");
    write("system/kde/viewer.desktop", "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %U\n");
    const QString cache = dir("cache/Quillora/desktop-entries");
    const QStringList dirs{dir("home"), dir("system")};
    const auto names = [](const DesktopEntryIndex& index) {
        QStringList names;
        for (const char* id : {"editor", "kde-viewer", "notes"}) {
            if (const DesktopEntry* entry = index.entryWithId(id))
                names.append(entry->name + "/" + entry->localizedNames.value("de") + "/" + entry->program);
        }
        return names;
    };
    const QStringList expected{"Editor/Bearbeiter/", "Viewer//viewer"};
    EXPECT_EQ(names(DesktopEntryIndex::load(dirs, cache)), expected);
    ASSERT_TRUE(QFile::exists(cache));

    // The cache is what answers: a change inside it (the files left alone) shows.
    QFile file(cache);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    // Strings are kept as big-endian UTF-16.
    const auto wideOf = [](const char* latin) {
        QByteArray wide;
        for (const char* c = latin; *c; ++c)
            wide.append('\0').append(*c);
        return wide;
    };
    const QByteArray wide = wideOf("Viewer"), otherWide = wideOf("Vuewer");
    ASSERT_GE(bytes.lastIndexOf(wide), 0);
    bytes.replace(bytes.lastIndexOf(wide), wide.size(), otherWide);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    EXPECT_EQ(names(DesktopEntryIndex::load(dirs, cache)), QStringList({"Editor/Bearbeiter/", "Vuewer//viewer"}));

    // A rewritten file, one more, or other folders: read again.
    write("system/kde/viewer.desktop", "[Desktop Entry]\nType=Application\nName=Viewer 2\nExec=viewer %U\n");
    EXPECT_EQ(names(DesktopEntryIndex::load(dirs, cache)), QStringList({"Editor/Bearbeiter/", "Viewer 2//viewer"}));
    write("home/notes.desktop", "[Desktop Entry]\nType=Application\nName=Notes\n");
    EXPECT_EQ(names(DesktopEntryIndex::load(dirs, cache)).size(), 3);
    EXPECT_EQ(names(DesktopEntryIndex::load({dir("home")}, cache)).size(), 2);
    // A damaged cache is read past.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
    file.write("garbage");
    file.close();
    EXPECT_EQ(names(DesktopEntryIndex::load({dir("home")}, cache)).size(), 2);
}
