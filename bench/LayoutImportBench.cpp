// Import of a system keyboard layout with its key pictures drawn: the whole
// step the definition window's "Import layout..." takes, in memory, for a
// layout with many dead keys (de), a large one in its own code page (ru) and
// the steps apart (keymap and compose table; pictures alone).
//
//   build/bench/layout_import_bench [--benchmark_repetitions=5]
//
// The command-line import as a whole process:
//   farm-bench -- build/src/keyfolio-tool package import de -o /tmp/de.vkt

#include "common/CodePage.h"
#include "model/KeyPictures.h"
#include "exchange/LayoutImport.h"
#include "model/MainData.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

namespace {

kf::LayoutImportOptions options(const char *layout, const char *codePage)
{
    kf::LayoutImportOptions o;
    o.layout = layout;
    o.codePage = codePage;
    o.composeLocale = "en_US.UTF-8";
    return o;
}

void importWithPictures(benchmark::State &state, const char *layout, const char *codePage)
{
    const kf::CodePage cp(codePage);
    for (auto _ : state) {
        kf::TDataMod dm;
        const kf::LayoutImportReport r = kf::ImportLayout(dm, options(layout, codePage));
        const kf::KeyPicturesResult p = kf::DrawKeyPictures(dm, kf::KeyFaces{}, cp);
        benchmark::DoNotOptimize(r.charCount + p.drawn);
        state.counters["keys"] = r.keyCount;
        state.counters["chars"] = r.charCount;
    }
}

void BM_ImportWithPictures_de(benchmark::State &state)
{
    importWithPictures(state, "de", "CP1252");
}
void BM_ImportWithPictures_ru(benchmark::State &state)
{
    importWithPictures(state, "ru", "CP1251");
}

void BM_ImportOnly_de(benchmark::State &state)
{
    for (auto _ : state) {
        kf::TDataMod dm;
        benchmark::DoNotOptimize(kf::ImportLayout(dm, options("de", "CP1252")).charCount);
    }
}

void BM_PicturesOnly_de(benchmark::State &state)
{
    kf::TDataMod dm;
    kf::ImportLayout(dm, options("de", "CP1252"));
    const kf::CodePage cp("CP1252");
    for (auto _ : state)
        benchmark::DoNotOptimize(kf::DrawKeyPictures(dm, kf::KeyFaces{}, cp).drawn);
}

BENCHMARK(BM_ImportWithPictures_de)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportWithPictures_ru)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportOnly_de)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PicturesOnly_de)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the pictures
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
