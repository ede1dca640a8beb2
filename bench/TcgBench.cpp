// The course generator's pickers on a million dictionary words held in memory
// (the lines of /usr/share/dict/american-english, repeated): one Generate per
// iteration, for each mode, 100 strings (20 patterns in mode 5).

#include "common/TextFile.h"
#include "words/tcg.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

const kf::WordList &dictionary()
{
    static const kf::WordList words = [] {
        const kf::WordList source = kf::readTextLines("/usr/share/dict/american-english");
        kf::WordList w;
        w.reserve(1000000);
        for (size_t i = 0; !source.empty() && w.size() < 1000000; ++i)
            w.push_back(source[i % source.size()]);
        return w;
    }();
    return words;
}

kf::WordList strings(int mode)
{
    if (mode == kf::tcgClass::RegularExpression)
        return {"\\w*ing\\b", "\\w+ed\\b", "^[aeiou]\\w+", "\\w*tion\\b", "[a-m]+", "\\w{4}", "qu\\w+",
                "\\w+ly\\b", "[^aeiou]+", "\\w*ness\\b", "ab\\w*", "\\w+s\\b", "\\w*ph\\w*", "[A-Z]\\w+",
                "\\w+'s", "x\\w*", "\\w*zz\\w*", "[aeiou]{2}\\w*", "re\\w+", "\\w+er\\b"};
    std::mt19937 rng(20261210u + unsigned(mode));
    const std::string common = "etaoinshrdlucmfwyp";
    kf::WordList out;
    for (int i = 0; i < 100; ++i) {
        const size_t n = mode == kf::tcgClass::FingerPlacement ? 5 + rng() % 8 : 1 + rng() % 3;
        std::string s;
        for (size_t j = 0; j < n; ++j)
            s += common[rng() % common.size()];
        out.push_back(s);
    }
    return out;
}

void BM_Generate(benchmark::State &state)
{
    const int mode = int(state.range(0));
    const bool caseSensitive = state.range(1) != 0;
    const kf::WordList &words = dictionary();
    const kf::WordList defined = strings(mode);
    kf::tcgClass engine;
    engine.MinLength = 0;
    engine.MaxLength = 50;
    engine.CaseSensitive = caseSensitive;
    size_t picked = 0;
    for (auto _ : state) {
        engine.Generate(words, defined, mode);
        picked = 0;
        for (const kf::WordList &g : engine.Groups())
            picked += g.size();
        benchmark::DoNotOptimize(picked);
    }
    state.counters["picked"] = double(picked);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(words.size()));
}

BENCHMARK(BM_Generate)
    ->ArgNames({"mode", "case"})
    ->Args({1, 0})->Args({1, 1})->Args({2, 0})->Args({2, 1})->Args({3, 0})->Args({4, 0})->Args({5, 0})
    ->Unit(benchmark::kMillisecond);

void BM_RenderWordList(benchmark::State &state)
{
    const kf::WordList &words = dictionary();
    const kf::WordList defined = strings(kf::tcgClass::TailLetters);
    kf::tcgClass engine;
    engine.MaxLength = 50;
    engine.Generate(words, defined, kf::tcgClass::TailLetters);
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.RenderResultText(kf::tcgClass::AsPicked, true));
}
BENCHMARK(BM_RenderWordList)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
