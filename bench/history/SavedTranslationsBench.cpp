// The favorites store and window with 10,000 (and 100,000) records of 200-character texts:
// - opening the store from disk (the settings reopened, the list read and decoded) plus one addition;
// - what a translation (one history entry) and a favorite toggle cost the main thread, and how many
//   bytes the process writes for each (from /proc/self/io, the settings writer's thread included);
// - a quit after three toggles: how long the store takes to stop and what it writes then;
// - the longest stall of the main thread when a saved translation is removed with a click in the
//   favorites window over 100,000 records, until its list is laid out again;
// - the longest stall of the main thread when the history window opens and scrolls with one record of a
//   million characters (words, Japanese, one letter repeated) or twenty of the longest real translations;
// - opening the favorites window, and the list's encoding and decoding alone;
// - the first translation with 100,000 records in the history (written by another program).
#include "menubar/history/FavoritesManager.h"
#include "menubar/history/FavoritesView.h"
#include "menubar/history/HistoryManager.h"
#include "menubar/history/HistoryView.h"
#include "menubar/history/SavedTranslationCardDelegate.h"
#include "menubar/history/SavedTranslationsModel.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

QString g_settingsPath;

QString text200(int seed, const QString& words) {
    QString text = QString::number(seed) + QLatin1Char(' ');
    while (text.size() < 200)
        text += words;
    text.truncate(200);
    return text;
}

QList<TranslationHistoryItem> favorites(int count) {
    QList<TranslationHistoryItem> items;
    items.reserve(count);
    for (int i = 0; i < count; ++i) {
        items << TranslationHistoryItem::make(
            text200(i, QStringLiteral("the quick brown fox jumps over the lazy dog ")),
            text200(i, QStringLiteral("hızlı kahverengi tilki tembel köpeğin üstünden atlar ")),
            Language::find(QStringLiteral("en")), Language::find(QStringLiteral("tr")),
            TranslationService::Google);
    }
    return items;
}

const QByteArray& storedList(int count) {
    static QHash<int, QByteArray> lists;
    if (!lists.contains(count))
        lists.insert(count, TranslationHistoryItem::encodeList(favorites(count)));
    return lists[count];
}

// The list on disk and the settings opened afresh, so that the next reader reads the file.
void storeOnDisk(int count) {
    UserDefaults::standard().setText(FavoritesManager::userDefaultsKey, LazyText::of(storedList(count)));
    UserDefaults::setStandardFilePath(g_settingsPath);
}

TranslationHistoryItem newFavorite(int seed = -1) {
    return TranslationHistoryItem::make(text200(seed, QStringLiteral("new ")),
                                        text200(seed, QStringLiteral("yeni ")),
                                        Language::find(QStringLiteral("en")),
                                        Language::find(QStringLiteral("tr")), TranslationService::DeepL);
}

// Bytes this process handed to write() so far, every thread's.
qint64 bytesWritten() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return 0;
}

// Times `change` alone; then, untimed, waits for the settings writer and adds what it wrote to `written`.
template <typename Change>
void timeChange(benchmark::State& state, qint64& written, Change change) {
    state.PauseTiming();
    UserDefaults::standard().waitForWrites();
    const qint64 before = bytesWritten();
    state.ResumeTiming();
    change();
    state.PauseTiming();
    UserDefaults::standard().waitForWrites();
    written += bytesWritten() - before;
    state.ResumeTiming();
}

void BM_FavoritesLoadAndAddOne(benchmark::State& state) {
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        storeOnDisk(count);
        state.ResumeTiming();
        auto manager = std::make_unique<FavoritesManager>();
        manager->addFavorite(newFavorite());
        benchmark::DoNotOptimize(manager->favorites().size());
        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    state.counters["records"] = count;
    state.counters["bytes"] = double(storedList(count).size());
}
BENCHMARK(BM_FavoritesLoadAndAddOne)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(10);

// Main-thread time of one history entry and of one favorite toggle with the favorites loaded; the
// bytes written for each once the writer is done.
void BM_TranslationWithFavorites(benchmark::State& state) {
    storeOnDisk(int(state.range(0)));
    FavoritesManager favorites;
    HistoryManager history;
    qint64 written = 0;
    int n = 0;
    for (auto _ : state) {
        timeChange(state, written, [&] {
            history.addTranslation(text200(n, QStringLiteral("word ")), text200(n, QStringLiteral("kelime ")),
                                   Language::find(QStringLiteral("en")), Language::find(QStringLiteral("tr")),
                                   TranslationService::Google);
        });
        ++n;
    }
    state.counters["written_bytes"] = double(written) / double(state.iterations());
}
BENCHMARK(BM_TranslationWithFavorites)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_FavoriteToggle(benchmark::State& state) {
    storeOnDisk(int(state.range(0)));
    FavoritesManager favorites;
    const TranslationHistoryItem item = newFavorite();
    qint64 written = 0;
    for (auto _ : state) {
        timeChange(state, written, [&] {
            if (favorites.isFavorite(item))
                favorites.removeFavorite(item);
            else
                favorites.addFavorite(item);
        });
    }
    state.counters["written_bytes"] = double(written) / double(state.iterations());
}
BENCHMARK(BM_FavoriteToggle)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(30);

// Runs events until nothing is left to do for a while; the longest one round of them took, in ms.
double settle() {
    double longest = 0;
    for (QElapsedTimer idle; !idle.isValid() || idle.elapsed() < 100;) {
        QElapsedTimer timer;
        timer.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const double took = timer.nsecsElapsed() / 1e6;
        longest = std::max(longest, took);
        if (took > 1 || !idle.isValid())
            idle.start();
    }
    return longest;
}

// A click on a card's remove button in the favorites window, then events until the list is laid out
// again: the longest the main thread is busy at one time.
void BM_RemoveClickInFavoritesWindow(benchmark::State& state) {
    storeOnDisk(int(state.range(0)));
    FavoritesManager manager;
    FavoritesView view(manager);
    view.show();
    QCoreApplication::processEvents();
    QListView* list = view.listView();
    double longest = 0;
    for (auto _ : state) {
        const QRect row = list->visualRect(list->model()->index(0, 0));
        const QPoint button = view.delegate()->buttonRect(row, list->model()->index(0, 0)).center();
        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, button);
        longest = std::max({longest, timer.nsecsElapsed() / 1e6, settle()});
        UserDefaults::standard().waitForWrites();
    }
    state.counters["longest_stall_ms"] = longest;
    state.counters["records"] = double(manager.favorites().size());
}
BENCHMARK(BM_RemoveClickInFavoritesWindow)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

// The history window opened, scrolled by the wheel's steps through its first 20,000 pixels and to its end,
// and closed: the longest the main thread is busy at one time. Arguments: the kind of text (words,
// Japanese, one letter repeated) and its length, in a record between two short ones; with a length of
// 0, twenty records of 5,000 characters translated to 20,000 instead.
void BM_HistoryWindowWithLongRecord(benchmark::State& state) {
    const QString units[] = {QStringLiteral("the quick brown fox jumps over the lazy dog "),
                             QString::fromUtf8("日本語の文章はスペースを使わずに書かれることが多いです。"),
                             QStringLiteral("a")};
    const auto text = [&](qsizetype length) {
        QString result;
        while (result.size() < length)
            result += units[state.range(0)];
        result.truncate(length);
        return result;
    };
    const auto make = [](const QString& source, const QString& translated) {
        return TranslationHistoryItem::make(source, translated, Language::find(QStringLiteral("en")),
                                            Language::find(QStringLiteral("tr")), TranslationService::Google);
    };
    QList<TranslationHistoryItem> items;
    if (state.range(1) > 0) {
        items = {make(QStringLiteral("short"), text(state.range(1))),
                 make(QStringLiteral("hello"), QStringLiteral("merhaba"))};
    } else {
        for (int i = 0; i < HistoryManager::maxHistoryItems; ++i)
            items << make(text(5000), text(20000));
    }
    UserDefaults::standard().setText(HistoryManager::userDefaultsKey,
                                     LazyText::of(TranslationHistoryItem::encodeList(items)));
    HistoryManager history;
    FavoritesManager favorites;
    double longest = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        {
            HistoryView view(history, favorites);
            view.show();
            longest = std::max({longest, timer.nsecsElapsed() / 1e6, settle()});
            QScrollBar* scroll = view.listView()->verticalScrollBar();
            for (int step = 0; step < 1000 && scroll->value() < scroll->maximum(); ++step) {
                timer.restart();
                scroll->setValue(step < 999 ? scroll->value() + scroll->singleStep() : scroll->maximum());
                view.listView()->viewport()->repaint();
                longest = std::max(longest, timer.nsecsElapsed() / 1e6);
            }
            timer.restart();
        }
        longest = std::max({longest, timer.nsecsElapsed() / 1e6, settle()});
    }
    state.counters["longest_stall_ms"] = longest;
}
BENCHMARK(BM_HistoryWindowWithLongRecord)
    ->Args({0, 1000000})
    ->Args({1, 1000000})
    ->Args({2, 1000000})
    ->Args({0, 100000})
    ->Args({1, 100000})
    ->Args({2, 100000})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The application's store reads its list beside the main thread: the longest the main thread is busy
// at one time from asking for the store until the list is there. Once per process (one store).
void BM_SharedStoreLoad(benchmark::State& state) {
    storeOnDisk(int(state.range(0)));
    double longest = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        FavoritesManager& shared = FavoritesManager::shared();
        bool loaded = false;
        QObject::connect(&shared, &FavoritesManager::favoritesChanged, [&] { loaded = true; });
        longest = timer.nsecsElapsed() / 1e6;
        while (!loaded) {
            timer.restart();
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
            longest = std::max(longest, timer.nsecsElapsed() / 1e6);
        }
        state.counters["records"] = double(shared.favorites().size());
    }
    state.counters["longest_stall_ms"] = longest;
}
BENCHMARK(BM_SharedStoreLoad)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The first translation of a run with a history another program made long: the longest the main thread
// is busy at one time from that translation (which creates the application's history store) until the
// list with it is there and handed to the settings.
void BM_FirstTranslationWithLongHistory(benchmark::State& state) {
    UserDefaults::standard().setText(HistoryManager::userDefaultsKey, LazyText::of(storedList(int(state.range(0)))));
    UserDefaults::setStandardFilePath(g_settingsPath);
    double longest = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        HistoryManager& shared = HistoryManager::shared();
        shared.addTranslation(QStringLiteral("good morning"), QStringLiteral("günaydın"),
                              Language::find(QStringLiteral("en")), Language::find(QStringLiteral("tr")),
                              TranslationService::Google);
        longest = timer.nsecsElapsed() / 1e6;
        while (shared.model()->items().isEmpty() || shared.model()->items().first().sourceText != "good morning") {
            timer.restart();
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
            longest = std::max(longest, timer.nsecsElapsed() / 1e6);
        }
        // The next ones, one right after another, while the settings still write the list before.
        for (int n = 0; n < 3; ++n) {
            timer.restart();
            shared.addTranslation(QString::number(n), QString::number(n), Language::find(QStringLiteral("en")),
                                  Language::find(QStringLiteral("tr")), TranslationService::Google);
            QCoreApplication::processEvents();
            longest = std::max(longest, timer.nsecsElapsed() / 1e6);
        }
        state.counters["records"] = double(shared.model()->items().size());
    }
    state.counters["longest_stall_ms"] = longest;
}
BENCHMARK(BM_FirstTranslationWithLongHistory)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_DecodeList(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(TranslationHistoryItem::decodeList(storedList(10000)));
}
BENCHMARK(BM_DecodeList)->Unit(benchmark::kMillisecond);

void BM_EncodeList(benchmark::State& state) {
    const auto items = favorites(10000);
    for (auto _ : state)
        benchmark::DoNotOptimize(TranslationHistoryItem::encodeList(items));
}
BENCHMARK(BM_EncodeList)->Unit(benchmark::kMillisecond);

// A quit after three favorite toggles: the time the store takes to stop and the bytes it writes then.
void BM_QuitAfterThreeToggles(benchmark::State& state) {
    qint64 written = 0;
    for (auto _ : state) {
        state.PauseTiming();
        storeOnDisk(int(state.range(0)));
        {
            FavoritesManager favorites;
            for (int toggle = 0; toggle < 3; ++toggle)
                favorites.addFavorite(newFavorite(toggle));
        }
        UserDefaults::standard().waitForWrites();
        const qint64 before = bytesWritten();
        state.ResumeTiming();
        UserDefaults::setStandardFilePath(g_settingsPath);
        state.PauseTiming();
        written += bytesWritten() - before;
        state.ResumeTiming();
    }
    state.counters["quit_written_bytes"] = double(written) / double(state.iterations());
}
BENCHMARK(BM_QuitAfterThreeToggles)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OpenFavoritesWindow(benchmark::State& state) {
    storeOnDisk(10000);
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
    g_settingsPath = dir.filePath(QStringLiteral("Quillora/Quillora.conf"));
    UserDefaults::setStandardFilePath(g_settingsPath);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // Every write done while the folder is there.
    UserDefaults::setStandardFilePath(dir.filePath(QStringLiteral("Quillora/empty.conf")));
    return 0;
}
