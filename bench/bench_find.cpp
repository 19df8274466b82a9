// Find in the viewer, through the real window on the offscreen platform, on a 20-page fax of
// typed text drawn by GraphicsMagick:
// - FindCached/...: the fax's words are in the text cache (as after an earlier search or a
//   restart); the time from Edit > Find and the typed text to the first hit boxed on the
//   page, on the page on screen and on a page further on (which is then displayed).
// - FrameTime/...: the time of one frame (a scroll step painted, and every event pending
//   handled) while the fax is being recognised in the background, and without recognition.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>

#include "app/commands.h"
#include "app/viewer_state.h"
#include "bench_pages.h"
#include "formats/dcx.h"
#include "ocr/fax_text.h"
#include "ocr/text_cache.h"
#include "platform/settings_store.h"
#include "viewer/find_bar.h"
#include "viewer/main_window.h"

namespace {

constexpr unsigned kPages = 20;
constexpr unsigned kHitPage = 7;  // the only page with the invoice number
constexpr int kFrames = 200;
constexpr int kFrameGapMs = 16;  // a frame every 60th of a second

benchpages::TempFolder g_home;
std::string g_fax;

// Page `n`: forty lines of a typed letter; page kHitPage names the invoice.
bool RenderPage(unsigned n, const std::string& pcx) {
    std::string draw;
    for (int line = 0; line < 40; ++line) {
        std::string text = "Harbour Row order " + std::to_string(n) + "-" + std::to_string(line) +
                           ": rollers, bearings and service kits as agreed, delivery by road";
        if (n == kHitPage && line == 20) text = "Please pay invoice 4711 within thirty days of delivery";
        draw += " -draw \"text 100," + std::to_string(120 + 50 * line) + " '" + text + "'\"";
    }
    const std::string cmd = "gm convert -size 1728x2200 xc:white -font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
                            " -density 200 -pointsize 10 -fill black" + draw + " -monochrome pcx:'" + pcx + "'";
    return std::system(cmd.c_str()) == 0;
}

bool WriteFax(const std::string& path) {
    using S = fax::DcxWriter::Status;
    fax::DcxWriter w(path);
    if (w.Create() != S::Ok) return false;
    for (unsigned n = 1; n <= kPages; ++n) {
        const std::string pcx = g_home.File("page.pcx");
        if (!RenderPage(n, pcx)) return false;
        std::ifstream in(pcx, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        if (bytes.size() < 128) return false;
        if (w.AppendPageHeader(bytes.data()) != S::Ok || w.AppendData(bytes.data() + 128, bytes.size() - 128) != S::Ok ||
            w.RewriteTable() != S::Ok)
            return false;
    }
    return w.Finish() == S::Ok;
}

void Settle(int rounds = 3) {
    for (int i = 0; i < rounds; ++i) QCoreApplication::processEvents();
}

std::unique_ptr<app::MainWindow> OpenWindow(app::ViewerState& state) {
    auto w = std::make_unique<app::MainWindow>(state);
    w->setDesktopWidth(1280);
    w->start();
    Settle(10);
    return w;
}

bool CurrentHitShown(app::MainWindow& w) {
    for (const auto& h : w.pageView()->highlights())
        if (h.current) return true;
    return false;
}

// The cache filled once: page 1 recognised, its words standing for every page (what is
// timed is reading the entry, matching and showing, not what the words say), and the
// invoice's line on page kHitPage.
bool FillCache() {
    ocr::Recognizer recognizer;
    std::vector<ocr::Word> words;
    ocr::FaxKey key;
    if (!recognizer.Open().ok() || !ocr::RecognizeFaxPage(recognizer, g_fax, 1, words).ok() ||
        !ocr::MakeFaxKey(g_fax, ocr::kDefaultLanguage, key).ok())
        return false;
    ocr::FaxWords pages(kPages, words);
    std::vector<ocr::Word> hit = words;
    hit.push_back({"invoice", 100, 1100, 220, 1130, 95, 1, 99});
    hit.push_back({"4711", 230, 1100, 300, 1130, 95, 1, 99});
    pages[kHitPage - 1] = hit;
    return ocr::TextCache().Store(key, pages);
}

void FindCached(benchmark::State& st, const char* query, unsigned expectedPage) {
    static const bool filled = FillCache();
    if (!filled) {
        st.SkipWithError("no recogniser or no cache");
        return;
    }
    app::ViewerState state;
    auto w = OpenWindow(state);
    for (auto _ : st) {
        w->findBar()->close();
        w->findBar()->faxChanged(QString::fromStdString(g_fax));  // nothing of the fax in memory
        w->postCommand(app::cmd::ShowPage, 1);
        Settle(10);
        QElapsedTimer t;
        t.start();
        w->postCommand(app::cmd::Find);
        Settle(1);
        w->findBar()->field()->setText(QString::fromLatin1(query));
        while (!CurrentHitShown(*w) || w->currentPage() != expectedPage) {
            if (t.elapsed() > 30000) {
                st.SkipWithError("no hit");
                return;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        st.SetIterationTime(t.nsecsElapsed() / 1e9);
    }
}

void FrameTime(benchmark::State& st, bool recognising) {
    app::ViewerState state;
    auto w = OpenWindow(state);
    QScrollBar* v = w->pageView()->verticalScrollBar();
    std::vector<double> frames;
    for (auto _ : st) {
        // Each round recognises afresh: the cache is emptied first.
        std::error_code ec;
        std::filesystem::remove_all(ocr::DefaultTextCacheDir(), ec);
        w->findBar()->close();
        w->findBar()->faxChanged(QString::fromStdString(g_fax));
        if (recognising) {
            w->postCommand(app::cmd::Find);
            Settle(1);
            w->findBar()->field()->setText(QStringLiteral("zebra"));  // found nowhere: every page is read
            QThread::msleep(1500);  // the recogniser loaded and at work
        }
        frames.clear();
        for (int i = 0; i < kFrames; ++i) {
            QElapsedTimer t;
            t.start();
            v->setValue(v->value() + 24 < v->maximum() ? v->value() + 24 : 0);
            QCoreApplication::processEvents();
            w->pageView()->viewport()->repaint();
            frames.push_back(t.nsecsElapsed() / 1e6);
            QThread::msleep(kFrameGapMs);
        }
        if (recognising && !w->findBar()->reading()) st.SkipWithError("recognition ended before the frames");
        std::sort(frames.begin(), frames.end());
        st.SetIterationTime(frames[frames.size() / 2] / 1e3);
    }
    st.counters["median_ms"] = frames[frames.size() / 2];
    st.counters["p99_ms"] = frames[frames.size() * 99 / 100];
    st.counters["max_ms"] = frames.back();
}

}  // namespace

BENCHMARK_CAPTURE(FindCached, HitOnScreen, "harbour row", 1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(FindCached, HitOnPage7, "invoice 4711", kHitPage)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(FrameTime, WhileRecognising, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(FrameTime, Idle, false)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char** argv) {
    // A home of its own: settings, program folder and text cache never touch the user's.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("HOME", g_home.path.c_str(), 1);
    setenv("XDG_CONFIG_HOME", g_home.File("config").c_str(), 1);
    setenv("XDG_CACHE_HOME", g_home.File("cache").c_str(), 1);
    QApplication qapp(argc, argv);
    g_fax = g_home.File("twenty.dcx");
    if (!WriteFax(g_fax)) {
        std::fprintf(stderr, "bench_find: GraphicsMagick could not draw the pages\n");
        return 1;
    }
    app::WriteText(app::kConfigure, QStringLiteral("ThisProgramDir"), QString::fromStdString(g_home.File("Tarvex")));
    app::WriteText(app::kConfigure, QStringLiteral("OpenMax"), QStringLiteral("0"));
    app::WriteText(app::kConfigure, QStringLiteral("DftFax"), QString::fromStdString(g_fax));
    for (const char* edge : {"WinX", "WinY"}) app::WriteText(app::kConfigure, edge, QStringLiteral("0"));
    app::WriteText(app::kConfigure, QStringLiteral("WinCX"), QStringLiteral("1024"));
    app::WriteText(app::kConfigure, QStringLiteral("WinCY"), QStringLiteral("768"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
