// The favorites store at 10,000 records of 200-character texts: opening the store (reading and decoding the
// stored list) plus one addition (encoding and writing the list, the settings file flushed to disk), and
// its parts; and opening the favorites window over such a store.
#include "menubar/history/FavoritesManager.h"
#include "menubar/history/FavoritesView.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

namespace {

constexpr int kCount = 10000;

QString text200(int seed, const QString& words) {
    QString text = QString::number(seed) + QLatin1Char(' ');
    while (text.size() < 200)
        text += words;
    text.truncate(200);
    return text;
}

QList<TranslationHistoryItem> favorites() {
    QList<TranslationHistoryItem> items;
    items.reserve(kCount);
    for (int i = 0; i < kCount; ++i) {
        items << TranslationHistoryItem::make(
            text200(i, QStringLiteral("the quick brown fox jumps over the lazy dog ")),
            text200(i, QStringLiteral("hızlı kahverengi tilki tembel köpeğin üstünden atlar ")),
            Language::find(QStringLiteral("en")), Language::find(QStringLiteral("tr")),
            TranslationService::Google);
    }
    return items;
}

const QByteArray& storedList() {
    static const QByteArray bytes = TranslationHistoryItem::encodeList(favorites());
    return bytes;
}

void store(const QByteArray& bytes) {
    UserDefaults::standard().set(FavoritesManager::userDefaultsKey, QString::fromUtf8(bytes));
}

TranslationHistoryItem newFavorite() {
    return TranslationHistoryItem::make(text200(-1, QStringLiteral("new ")),
                                        text200(-1, QStringLiteral("yeni ")),
                                        Language::find(QStringLiteral("en")),
                                        Language::find(QStringLiteral("tr")), TranslationService::DeepL);
}

void BM_FavoritesLoadAndAddOne(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        store(storedList());
        state.ResumeTiming();
        FavoritesManager manager;
        manager.addFavorite(newFavorite());
        benchmark::DoNotOptimize(manager.favorites().size());
    }
    state.counters["records"] = kCount;
    state.counters["bytes"] = double(storedList().size());
}
BENCHMARK(BM_FavoritesLoadAndAddOne)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_DecodeList(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(TranslationHistoryItem::decodeList(storedList()));
}
BENCHMARK(BM_DecodeList)->Unit(benchmark::kMillisecond);

void BM_EncodeList(benchmark::State& state) {
    const auto items = favorites();
    for (auto _ : state)
        benchmark::DoNotOptimize(TranslationHistoryItem::encodeList(items));
}
BENCHMARK(BM_EncodeList)->Unit(benchmark::kMillisecond);

void BM_WriteSettings(benchmark::State& state) {
    for (auto _ : state)
        store(storedList());
}
BENCHMARK(BM_WriteSettings)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_OpenFavoritesWindow(benchmark::State& state) {
    store(storedList());
    FavoritesManager manager;
    for (auto _ : state) {
        FavoritesView view(manager);
        view.show();
        // Until the first rows are laid out and painted.
        QCoreApplication::processEvents();
        view.listView()->viewport()->repaint();
        benchmark::DoNotOptimize(view.listView()->visualRect(view.listView()->model()->index(0, 0)));
    }
}
BENCHMARK(BM_OpenFavoritesWindow)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    UserDefaults::setStandardFilePath(dir.filePath(QStringLiteral("Quillora/Quillora.conf")));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
