// Timing harness for the record-table engine on a million rows: append, order,
// filter, FindKey, datapacket save and load. Prints seconds per step and the
// resident memory per row. Not a test: nothing here asserts a time.

#include "table/RecordTable.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

using namespace kf;

namespace {

long ResidentBytes()
{
    std::ifstream f("/proc/self/statm");
    long pages = 0, resident = 0;
    f >> pages >> resident;
    return resident * 4096L;
}

// CPU time of this process: on a shared machine wall time mostly measures the
// neighbours. Both are printed.
double CpuNow()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Timer {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    double cpuStart = CpuNow();
    double Seconds() const { return CpuNow() - cpuStart; }
    double Wall() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

uint32_t g_seed = 2463534242u;
uint32_t Rand()
{
    g_seed ^= g_seed << 13;
    g_seed ^= g_seed >> 17;
    g_seed ^= g_seed << 5;
    return g_seed;
}

std::string RandomText()
{
    std::string s(40, ' ');
    for (char &c : s)
        c = char('a' + Rand() % 26);
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const bool log = argc > 2 && std::string(argv[2]) == "log";

    // The texts are made up front so that only the engine is timed.
    std::vector<std::string> texts(static_cast<size_t>(rows));
    for (std::string &t : texts)
        t = RandomText();

    const long before = ResidentBytes();
    TRecordTable t({{"Text", TFieldType::String, 40}, {"A", TFieldType::Integer}, {"B", TFieldType::Integer}});
    t.SetLogChanges(log);

    Timer append;
    for (int i = 0; i < rows; ++i)
        t.AppendRecord({texts[size_t(i)], int32_t(Rand() % 1000), i});
    const double appendS = append.Seconds(), appendW = append.Wall();
    const long afterAppend = ResidentBytes();
    if (argc > 3 && std::string(argv[3]) == "append-only") {
        std::printf("append               %.3f s cpu, %.3f s wall\n", appendS, appendW);
        return 0;
    }

    Timer order;
    t.SetIndexFieldNames("Text");
    t.First();
    const double orderS = order.Seconds(), orderW = order.Wall();
    const long afterOrder = ResidentBytes();

    Timer filter;
    t.SetFilter("A>=100 AND A<=199");
    t.SetFiltered(true);
    const int filtered = t.RecordCount();
    t.Last();
    const double filterS = filter.Seconds(), filterW = filter.Wall();
    t.SetFiltered(false);

    Timer find;
    int found = 0;
    for (int i = 0; i < 100000; ++i)
        found += t.FindKey({texts[Rand() % size_t(rows)]}) ? 1 : 0;
    const double findS = find.Seconds(), findW = find.Wall();

    Timer save;
    const std::string packet = t.SaveToBytes();
    const double saveS = save.Seconds(), saveW = save.Wall();

    Timer load;
    TRecordTable u;
    u.LoadFromBytes(packet);
    const int loaded = u.RecordCount();
    const double loadS = load.Seconds(), loadW = load.Wall();

    std::printf("rows                 %d (change log %s)\n", rows, log ? "on" : "off");
    std::printf("append               %.3f s cpu, %.3f s wall\n", appendS, appendW);
    std::printf("order by text        %.3f s cpu, %.3f s wall\n", orderS, orderW);
    std::printf("filter on integer    %.3f s cpu, %.3f s wall (%d rows pass)\n", filterS, filterW, filtered);
    std::printf("100000 FindKey       %.3f s cpu, %.3f s wall (%d found)\n", findS, findW, found);
    std::printf("save datapacket      %.3f s cpu, %.3f s wall (%zu bytes)\n", saveS, saveW, packet.size());
    std::printf("load datapacket      %.3f s cpu, %.3f s wall (%d rows)\n", loadS, loadW, loaded);
    std::printf("memory per row       %.1f bytes after append, %.1f with the ordered view\n",
                double(afterAppend - before) / rows, double(afterOrder - before) / rows);

    // A word list: the orders of the dictionary window, whose first key has
    // many ties (few distinct counts and lengths).
    {
        TRecordTable w({{"Word", TFieldType::String, 40}, {"Count", TFieldType::Integer},
                        {"Len", TFieldType::Integer}});
        std::vector<std::vector<TValue>> words;
        words.reserve(size_t(rows));
        for (int i = 0; i < rows; ++i) {
            std::string word = texts[size_t(i)].substr(0, 1 + Rand() % 40);
            const uint32_t r = Rand() % 1000;
            const int32_t count = int32_t(r < 600 ? 1 : r < 800 ? 2 : r < 900 ? 3 : 4 + Rand() % 200);
            const int32_t len = int32_t(word.size());
            words.push_back({std::move(word), count, len});
        }
        w.AppendRecords(words);
        w.AddIndex("CountIndex", "Count;Word", "Count");
        Timer byCount;
        w.SetIndexName("CountIndex");
        w.First();
        const double byCountS = byCount.Seconds(), byCountW = byCount.Wall();
        Timer byLen;
        w.SetIndexFieldNames("len;word");
        w.First();
        const double byLenS = byLen.Seconds(), byLenW = byLen.Wall();
        std::printf("words by count desc  %.3f s cpu, %.3f s wall\n", byCountS, byCountW);
        std::printf("words by len;word    %.3f s cpu, %.3f s wall\n", byLenS, byLenW);
    }
    return 0;
}
