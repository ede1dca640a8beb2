// The definition check on a 500-key, 3,000-character keyboard definition with
// a 40 x 40 key picture on every key:
//   - laid out: keys on a grid inside the keyboard area, six characters per
//     key (plain, Shift, AltGr, three accents behind eight dead keys), codes
//     repeating across keys as 256 codes must (so some findings are told);
//   - crowded: the same rows with keys on a dense pattern (many overlaps)
//     and random key links, so thousands of findings are told.
//
//   build/bench/definition_check_bench [--benchmark_repetitions=5]

#include "common/CodePage.h"
#include "model/GlyphCodec.h"
#include "model/DefinitionCheck.h"
#include "model/MainData.h"

#include <benchmark/benchmark.h>

#include <QImage>

#include <random>

namespace {

constexpr int kKeys = 500;
constexpr int kChars = 3000;
constexpr int kColumns = 25;

QImage keyPicture(int key)
{
    QImage img(40, 40, QImage::Format_RGB32);
    img.fill(qRgb(200 + key % 50, 180 + key % 70, 150 + key % 100));
    for (int y = 10; y < 30; ++y)
        for (int x = 12; x < 28; ++x)
            if ((x + y + key) % 3)
                img.setPixel(x, y, qRgb(20, 20, 30 + key % 40));
    return img;
}

void fill(kf::TDataMod &dm, bool crowded)
{
    std::mt19937 gen(7);
    dm.MainTbl.DisableControls();
    for (int k = 0; k < kKeys; ++k) {
        // Eight dead keys (grave .. cedilla, each with its own shifted accent),
        // one AltGr and two Shift keys; the rest type characters.
        int type = 1 + k % 2, type2 = 0;
        if (k < 8) {
            type = 2001 + k;
            type2 = 2001 + k;
        } else if (k == 8) {
            type = 1000;
        } else if (k == 9 || k == 10) {
            type = 1002 + (k - 9);
        }
        const int x = crowded ? k * 7 % 600 : 4 + k % kColumns * 42;
        const int y = crowded ? k / 15 * 7 : 4 + k / kColumns * 42;
        dm.MainTbl.AppendRecord({"Key " + std::to_string(k), kf::TValue(k), kf::TValue(type),
                                 type2 ? kf::TValue(type2) : kf::TValue(), kf::TValue(k % 10),
                                 kf::ImageToGlyph(keyPicture(k)), kf::TValue(40), kf::TValue(40), kf::TValue(x),
                                 kf::TValue(y), "hint of key " + std::to_string(k)});
    }
    dm.MainTbl.EnableControls();
    dm.Ctbl.DisableControls();
    for (int c = 0; c < kChars; ++c) {
        const int slot = c % 6; // plain, Shift, AltGr, three accents
        const int key = crowded ? int(gen() % kKeys) : 11 + (c / 6) % (kKeys - 11);
        const int accent = slot < 3 ? 0 : 2001 + (c / 6 + slot) % 8;
        dm.Ctbl.AppendRecord({"char " + std::to_string(c), kf::TValue(c * 37 % 256), kf::TValue(key),
                              kf::TValue(slot == 1), kf::TValue(slot == 2), kf::TValue(accent)});
    }
    dm.Ctbl.EnableControls();
    dm.bkcolor = 0x808080;
    dm.FingerLength.fill(60);
}

void BM_CheckDefinition(benchmark::State &state)
{
    const bool crowded = state.range(0) != 0;
    kf::TDataMod dm;
    fill(dm, crowded);
    const kf::CodePage cp("CP1252");
    kf::TCheckOptions area;
    area.AreaWidth = 4 + kColumns * 42;
    area.AreaHeight = 4 + (kKeys / kColumns) * 42;
    size_t findings = 0;
    for (auto _ : state) {
        const auto list = kf::CheckDefinition(dm, cp, area);
        findings = list.size();
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["findings"] = double(findings);
    state.SetLabel(crowded ? "crowded" : "laid out");
}

} // namespace

BENCHMARK(BM_CheckDefinition)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
