// The folders of src/ include one another one way only, read from the source tree itself.
//
// Layers, lowest first; a folder may include its own layer's headers and those below:
//   0 platform, platform/x11, platform/qtaudio, platform/qtnetwork (any platform/ sub-folder)
//   1 services
//   2 selection, keyboardshortcuts, ui
//   3 the features: floatingbar, menubar (menubar/translator, menubar/history), settings, shortcuts
//   4 app
//   5 main.cpp
// Within a layer only a folder's own family may be included (menubar/translator may include
// menubar/history, platform/x11 may include platform): features reach each other through lower layers,
// notifications and callbacks, never directly. No cycle between any two folders (a sub-folder counts as a
// folder of its own). Headers of the X server, Xlib, xkbcommon, signal handling and the operating system's
// own (sys/, unistd.h) belong under platform/. Project headers are named in quotes, never in angle brackets,
// whatever their extension.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <optional>

namespace {

struct SourceFile {
    QString path; // relative to src/
    QString text;
};

struct Include {
    QString from;
    QString to;
    QString where; // file:line "header"
};

// The folder of a file under src/: its directory, "main" for the files at the root.
QString folderOf(const QString& path) {
    const QString dir = QFileInfo(path).path();
    return dir == QLatin1String(".") ? QStringLiteral("main") : dir;
}

QString familyOf(const QString& folder) {
    return folder.section(QLatin1Char('/'), 0, 0);
}

std::optional<int> layerOf(const QString& folder) {
    static const QHash<QString, int> layers = {
        {QStringLiteral("platform"), 0},    {QStringLiteral("services"), 1},
        {QStringLiteral("selection"), 2},   {QStringLiteral("keyboardshortcuts"), 2},
        {QStringLiteral("ui"), 2},          {QStringLiteral("floatingbar"), 3},
        {QStringLiteral("menubar"), 3},     {QStringLiteral("settings"), 3},
        {QStringLiteral("shortcuts"), 3},   {QStringLiteral("app"), 4},
        {QStringLiteral("main"), 5}};
    const auto it = layers.constFind(familyOf(folder));
    if (it == layers.constEnd())
        return std::nullopt;
    return *it;
}

struct Report {
    QList<Include> includes; // between different folders
    QStringList faults;
};

QString describe(const Include& include) {
    return include.from + QStringLiteral(" -> ") + include.to + QStringLiteral(": ") + include.where;
}

// Cycles between folders, each named by its folders and one include per step.
QStringList cyclesOf(const QList<Include>& includes) {
    QMap<QString, QMap<QString, Include>> edges;
    for (const Include& include : includes) {
        if (!edges[include.from].contains(include.to))
            edges[include.from].insert(include.to, include);
    }
    QStringList cycles;
    QHash<QString, int> state; // 1 on the path, 2 done
    QStringList path;
    std::function<void(const QString&)> visit = [&](const QString& folder) {
        state[folder] = 1;
        path.append(folder);
        for (auto it = edges[folder].cbegin(); it != edges[folder].cend(); ++it) {
            if (state.value(it.key()) == 1) {
                const QStringList loop = path.mid(path.indexOf(it.key())) << it.key();
                QStringList steps;
                for (qsizetype i = 0; i + 1 < loop.size(); ++i)
                    steps << describe(edges[loop[i]][loop[i + 1]]);
                cycles << QStringLiteral("cycle ") + loop.join(QStringLiteral(" -> ")) + QStringLiteral(":\n    ") +
                              steps.join(QStringLiteral("\n    "));
            } else if (state.value(it.key()) == 0) {
                visit(it.key());
            }
        }
        path.removeLast();
        state[folder] = 2;
    };
    for (auto it = edges.cbegin(); it != edges.cend(); ++it) {
        if (state.value(it.key()) == 0)
            visit(it.key());
    }
    return cycles;
}

Report check(const QList<SourceFile>& files) {
    static const QRegularExpression includeLine(
        QStringLiteral(R"re(^\s*#\s*include\s*([<"])([^>"]+)[>"])re"));
    // In either kind of brackets: a quoted system header is the same header.
    static const QRegularExpression systemHeader(
        QStringLiteral(R"re(^(xcb/|xcb\.h$|X11/|xkbcommon/|sys/|unistd\.h$|signal\.h$|csignal$))re"));
    QSet<QString> paths;
    for (const SourceFile& file : files)
        paths.insert(file.path);

    Report report;
    for (const SourceFile& file : files) {
        const QString from = folderOf(file.path);
        const bool inPlatform = familyOf(from) == QLatin1String("platform");
        if (!layerOf(from))
            report.faults << QStringLiteral("%1: folder %2 has no layer").arg(file.path, from);
        const QStringList lines = file.text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString where = QStringLiteral("%1:%2 %3").arg(file.path).arg(i + 1).arg(lines[i].trimmed());
            const QRegularExpressionMatch match = includeLine.match(lines[i]);
            if (!match.hasMatch())
                continue;
            QString target = QDir::cleanPath(match.captured(2));
            if (!inPlatform && systemHeader.match(target).hasMatch())
                report.faults << QStringLiteral("window-system or system header outside platform/: ") + where;
            // Headers are named from src/; a name relative to the including file counts too.
            if (match.captured(1) == QLatin1String("<")) {
                if (!paths.contains(target))
                    continue;
                report.faults << QStringLiteral("project header in angle brackets: ") + where;
            } else if (!paths.contains(target)) {
                const QString beside = QFileInfo(file.path).path() + QLatin1Char('/') + target;
                target = paths.contains(QDir::cleanPath(beside)) ? QDir::cleanPath(beside) : QString();
            }
            if (target.isEmpty())
                continue; // generated, or outside src/
            const QString to = folderOf(target);
            if (to == from)
                continue;
            const Include include{from, to, where};
            report.includes << include;
            const std::optional<int> fromLayer = layerOf(from);
            const std::optional<int> toLayer = layerOf(to);
            if (!fromLayer || !toLayer)
                continue;
            if (*toLayer > *fromLayer)
                report.faults << QStringLiteral("include climbs a layer: ") + describe(include);
            else if (*toLayer == *fromLayer && familyOf(from) != familyOf(to))
                report.faults << QStringLiteral("include across one layer: ") + describe(include);
        }
    }
    report.faults << cyclesOf(report.includes);
    return report;
}

QList<SourceFile> sourceTree(const QString& root) {
    QList<SourceFile> files;
    const QStringList sources = QStringLiteral("*.h *.hh *.hpp *.hxx *.inl *.ipp *.c *.cc *.cpp *.cxx")
                                    .split(QLatin1Char(' '));
    QDirIterator it(root, sources, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files.append({path.mid(root.size() + 1), QString::fromUtf8(file.readAll())});
    }
    return files;
}

} // namespace

TEST(IncludeLayers, TheCheckFindsEachKindOfFault) {
    struct Case {
        const char* name;
        QList<SourceFile> files;
        QStringList expectedFaults; // a part of each fault, in order
    };
    const QString header = QStringLiteral("#pragma once\n");
    const QList<Case> cases = {
        {"downward includes, relative ones and unknown headers pass",
         {{"platform/Platform.h", header},
          {"platform/x11/X11Platform.h", "#include \"platform/Platform.h\"\n#include <xcb/xcb.h>\n"},
          {"services/A.h", "#include \"platform/Platform.h\"\n#include \"ui_generated.h\"\n"},
          {"menubar/history/H.h", "#include \"services/A.h\"\n"},
          {"menubar/translator/T.cpp", "#include \"T.h\"\n#include \"menubar/history/H.h\"\n"},
          {"menubar/translator/T.h", header},
          {"app/App.cpp", "#include <csignal>\n#include \"menubar/translator/T.h\"\n"},
          {"main.cpp", "#include \"app/App.h\"\n"},
          {"app/App.h", header}},
         {"system header outside platform/: app/App.cpp:1"}},
        {"a lower layer including a higher one",
         {{"ui/Widget.cpp", "\n#include \"settings/Tab.h\"\n"}, {"settings/Tab.h", header}},
         {"climbs a layer: ui -> settings: ui/Widget.cpp:2"}},
        {"one feature including another",
         {{"settings/Tab.cpp", "#include \"floatingbar/Bar.h\"\n"}, {"floatingbar/Bar.h", header}},
         {"across one layer: settings -> floatingbar: settings/Tab.cpp:1"}},
        {"a cycle inside one family",
         {{"menubar/Manager.h", "#include \"translator/View.h\"\n"},
          {"menubar/translator/View.cpp", "#include \"menubar/Manager.h\"\n"},
          {"menubar/translator/View.h", header}},
         {"cycle menubar -> menubar/translator -> menubar"}},
        {"xcb, Xlib and signals outside platform/, and a folder without a layer",
         {{"ui/Compositor.cpp", "#include <xcb/xcb.h>\n#include <X11/Xlib.h>\n#include <signal.h>\n"},
          {"extras/Thing.h", header}},
         {"ui/Compositor.cpp:1", "ui/Compositor.cpp:2", "ui/Compositor.cpp:3", "folder extras has no layer"}},
        {"system headers however they are named",
         {{"ui/Keys.cpp", "#include <xkbcommon/xkbcommon.h>\n#include \"xcb/xcb.h\"\n"
                          "#include <sys/signal.h>\n#include <sys/resource.h>\n#include<unistd.h>\n"}},
         {"ui/Keys.cpp:1", "ui/Keys.cpp:2", "ui/Keys.cpp:3", "ui/Keys.cpp:4", "ui/Keys.cpp:5"}},
        {"a project header in angle brackets",
         {{"ui/Widget.cpp", "#include <settings/Tab.h>\n#include <services/A.h>\n"},
          {"settings/Tab.h", header},
          {"services/A.h", header}},
         {"angle brackets: ui/Widget.cpp:1", "climbs a layer: ui -> settings: ui/Widget.cpp:1",
          "angle brackets: ui/Widget.cpp:2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList faults = check(c.files).faults;
        ASSERT_EQ(faults.size(), c.expectedFaults.size()) << faults.join(QLatin1Char('\n')).toStdString();
        for (qsizetype i = 0; i < faults.size(); ++i)
            EXPECT_TRUE(faults[i].contains(c.expectedFaults[i])) << faults[i].toStdString();
    }
}

TEST(IncludeLayers, EverySourceFileIsRead) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    for (const char* name : {"ui/Widget.hpp", "ui/Widget.hh", "ui/Widget.cc", "ui/Widget.cxx"}) {
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("ui")));
        QFile file(root.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#include <xcb/xcb.h>\n");
    }
    EXPECT_EQ(check(sourceTree(root.path())).faults.size(), 4);
}

TEST(IncludeLayers, SourceTreeKeepsItsLayers) {
    const QList<SourceFile> files = sourceTree(QStringLiteral(QUILLORA_SOURCE_DIR "/src"));
    const Report report = check(files);
    // A wrong source path would find nothing and pass.
    ASSERT_GT(files.size(), 300);
    ASSERT_GT(report.includes.size(), 300);
    EXPECT_TRUE(report.faults.isEmpty()) << report.faults.join(QLatin1Char('\n')).toStdString();
}
