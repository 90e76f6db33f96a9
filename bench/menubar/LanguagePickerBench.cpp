// The translator's costs that a user feels: the language picker narrowing its 105 entries on each
// keystroke (list included), and building the translator view. build/bench/bench/quillora-menubar-bench
#include "menubar/translator/LanguagePickerView.h"
#include "menubar/translator/MenuBarView.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

// Typing "english" one key at a time, then clearing it: the list is filtered and laid out each time.
void BM_PickerKeystroke(benchmark::State& state) {
    LanguagePickerView picker(Language::find(QStringLiteral("en")), Language::allLanguages(), {}, {});
    picker.resize(240, 400);
    picker.show();
    const QString word = QStringLiteral("english");
    int step = 0;
    for (auto _ : state) {
        const int length = step % (word.size() + 1);
        picker.setSearchText(word.left(length));
        QCoreApplication::sendPostedEvents();
        picker.listView()->viewport()->repaint();
        benchmark::DoNotOptimize(picker.shownLanguages().size());
        ++step;
    }
}
BENCHMARK(BM_PickerKeystroke)->Unit(benchmark::kMicrosecond);

void BM_FilterOnly(benchmark::State& state) {
    const QList<Language>& languages = Language::allLanguages();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            LanguagePickerView::filteredLanguages(languages, QStringLiteral("an")).size());
}
BENCHMARK(BM_FilterOnly)->Unit(benchmark::kMicrosecond);

void BM_MenuBarViewCreation(benchmark::State& state) {
    for (auto _ : state) {
        MenuBarView view;
        benchmark::DoNotOptimize(view.sizeHint());
    }
}
BENCHMARK(BM_MenuBarViewCreation)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    UserDefaults::setStandardFilePath(home.filePath(QStringLiteral("Quillora.conf")));
    QApplication app(argc, argv);
    // The first view is the one start-up pays for: nothing is warm yet.
    QElapsedTimer cold;
    cold.start();
    auto* first = new MenuBarView;
    const qint64 coldNs = cold.nsecsElapsed();
    delete first;
    std::printf("first MenuBarView, cold: %.2f ms\n", coldNs / 1e6);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
