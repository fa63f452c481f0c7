// The 7PLUS screen encoding the largest file (255 parts) through its Encode
// button, against the codec alone on the same file, interleaved. The time is
// CPU time; "ratio" is the screen's over the codec's. The screen is shown
// (offscreen unless QT_QPA_PLATFORM says otherwise) so its progress updates
// really paint.

#include "common/ChildUsage.h"
#include "platform/fake/FakePlatform.h"
#include "sevenplus/SevenPlusScreens.h"
#include "sevenplus/frm7Plus.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace tolvan;
using tolvan::bench::processCpuSeconds;

namespace {

void BM_ScreenEncodeVsCodec(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString src = dir.path() + "/big.bin";
    {
        QByteArray b(Mod7plus::kMaxFileSize, Qt::Uninitialized);
        QRandomGenerator(1).fillRange(reinterpret_cast<quint32*>(b.data()), b.size() / 4);
        QFile f(src);
        f.open(QIODevice::WriteOnly);
        f.write(b);
    }
    FakeDialogs dialogs;
    FakeSpeaker speaker;
    FakeDesktop desktop;
    FakeProcesses processes;
    FakeClock clock;
    AppContext context{ConfigStore(dir.path()), dialogs, speaker, desktop, processes, clock,
                       LocaleText(QLocale::c())};
    ScreenRegistry registry(context);
    registerSevenPlusScreens(registry);
    auto* screen = registry.form<frm7Plus>("frm7Plus");
    screen->show();
    auto* fileBox = screen->findChild<QLineEdit*>("txt7PlusFile");
    auto* encode = screen->findChild<QPushButton*>("cmdEncode7Plus");
    auto* status = screen->findChild<QLabel*>("lbl7PlusStatus");
    QCoreApplication::processEvents();

    const Mod7plus::Host yes{[](const QString&, const QString&) { return true; }, {}};
    double onScreen = 0;
    double codec = 0;
    int round = 0;
    // Every run writes into a new folder: deleting hundreds of files and
    // creating them again at once is slow on some file systems.
    const auto freshCopy = [&] {
        const QString folder = dir.path() + QStringLiteral("/round%1").arg(++round);
        QDir().mkpath(folder);
        QFile::link(src, folder + "/big.bin");
        return folder + "/big.bin";
    };
    for (auto _ : state) {
        fileBox->setText(freshCopy());
        double start = processCpuSeconds();
        encode->click();
        const double t = processCpuSeconds() - start;
        const bool screenOk = status->text() == QLatin1String("ENCODING COMPLETE");
        const QString alone = freshCopy();
        start = processCpuSeconds();
        const bool codecOk = Mod7plus::Encode7PlusFile(alone, yes).ok();
        const double c = processCpuSeconds() - start;
        if (!screenOk || !codecOk) {
            state.SkipWithError("encode failed");
            break;
        }
        onScreen += t;
        codec += c;
        state.SetIterationTime(t);
    }
    const double n = double(state.iterations());
    state.counters["screen_ms"] = onScreen * 1000 / n;
    state.counters["codec_ms"] = codec * 1000 / n;
    state.counters["ratio"] = codec > 0 ? onScreen / codec : 0;
}
BENCHMARK(BM_ScreenEncodeVsCodec)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
