// Keyboard package save and load: 500 keys, each with a 60 x 40 24-bit key
// picture, and 3,000 characters.
//
//   build/bench/package_bench [--benchmark_repetitions=5]

#include "model/GlyphCodec.h"
#include "model/MainData.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QTemporaryDir>

#include <random>
#include <stdexcept>

namespace {

// A key picture: a face colour with a darker letter-like block and a little
// noise (as anti-aliased edges give), or pure noise (the worst case for
// deflate).
QImage keyPicture(int key, bool noise, std::mt19937 &gen)
{
    QImage img(60, 40, QImage::Format_RGB32);
    const QRgb face = qRgb(200 + key % 50, 180 + key % 70, 150 + key % 100);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            QRgb c = face;
            if (noise)
                c = qRgb(int(gen() & 255), int(gen() & 255), int(gen() & 255));
            else if (x > 20 + key % 7 && x < 38 && y > 10 && y < 30 && (x + y + key) % 5 != 0)
                c = qRgb(20, 20, 30 + key % 40);
            else if (gen() % 50 == 0)
                c = qRgb(int(gen() & 255), int(gen() & 255), int(gen() & 255));
            img.setPixel(x, y, c);
        }
    return img;
}

struct Definition {
    QTemporaryDir dir;
    std::string path;
    size_t glyphBytes = 0;
};

void fill(kf::TDataMod &dm, bool noise, size_t &glyphBytes)
{
    std::mt19937 gen(42);
    dm.MainTbl.DisableControls();
    for (int k = 0; k < 500; ++k) {
        const std::string glyph = kf::ImageToGlyph(keyPicture(k, noise, gen));
        glyphBytes += glyph.size();
        dm.MainTbl.AppendRecord({"Key " + std::to_string(k), kf::TValue(k), kf::TValue(1 + k % 3), kf::TValue(),
                                 kf::TValue(k % 10), glyph, kf::TValue(60), kf::TValue(40), kf::TValue(k * 7 % 900),
                                 kf::TValue(k / 15 * 42), "hint of key " + std::to_string(k)});
    }
    dm.MainTbl.EnableControls();
    dm.Ctbl.DisableControls();
    for (int c = 0; c < 3000; ++c)
        dm.Ctbl.AppendRecord({"char " + std::to_string(c), kf::TValue(c % 256), kf::TValue(c % 500),
                              kf::TValue(c % 2 == 1), kf::TValue(c % 4 == 3), kf::TValue(c % 9 ? 0 : 2001 + c % 8)});
    dm.Ctbl.EnableControls();
    dm.bkcolor = 0x808080;
    dm.Author = "bench";
}

const Definition &definition(bool noise)
{
    static Definition defs[2];
    Definition &d = defs[noise ? 1 : 0];
    if (d.path.empty()) {
        kf::TDataMod dm;
        fill(dm, noise, d.glyphBytes);
        d.path = d.dir.path().toStdString() + (noise ? "/noise.vkt" : "/keys.vkt");
        if (!dm.SavePackage(d.path))
            throw std::runtime_error(dm.PackageError());
    }
    return d;
}

void BM_SavePackage(benchmark::State &state)
{
    const bool noise = state.range(0) != 0;
    kf::TDataMod dm;
    size_t glyphBytes = 0;
    fill(dm, noise, glyphBytes);
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/out.vkt";
    for (auto _ : state) {
        if (!dm.SavePackage(path))
            state.SkipWithError(dm.PackageError().c_str());
    }
    state.counters["glyph_MB"] = double(glyphBytes) / 1e6;
    state.SetLabel(noise ? "noise pictures" : "key pictures");
}

void BM_LoadPackage(benchmark::State &state)
{
    const bool noise = state.range(0) != 0;
    const Definition &d = definition(noise);
    kf::TDataMod dm;
    for (auto _ : state) {
        if (!dm.LoadPackage(d.path))
            state.SkipWithError(dm.PackageError().c_str());
    }
    if (dm.MainTbl.RecordCount() != 500 || dm.Ctbl.RecordCount() != 3000)
        state.SkipWithError("wrong row counts after load");
    state.SetLabel(noise ? "noise pictures" : "key pictures");
}

} // namespace

BENCHMARK(BM_SavePackage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPackage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
