// Word splitting and counting on arbitrary bytes: the block splitter, fed in
// pieces whose sizes come from the input, must give the words that
// CountWords/NthWord define, and the counter the counts a std::map gives.

#include "words/WordCounter.h"
#include "words/consttype.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    // Byte 0: the delimiter set (a few low bits pick extra members); byte 1:
    // the piece size; the rest is the text.
    kf::DelimiterSet delims(" ,\r\n");
    for (int bit = 0; bit < 8; ++bit)
        if (data[0] & (1 << bit))
            delims.insert(uint8_t('a' + bit * 3));
    const size_t piece = size_t(data[1]) + 1;
    const std::string_view text(reinterpret_cast<const char *>(data) + 2, size - 2);

    std::vector<std::string> expected;
    if (text.size() <= 512) {
        const int32_t n = kf::CountWords(text, delims);
        for (int32_t i = 1; i <= n; ++i)
            expected.push_back(kf::NthWord(i, text, delims));
    } else {
        kf::ForEachWord(text, delims, [&](std::string_view w) { expected.emplace_back(w); });
    }

    constexpr size_t kLimit = 40;
    kf::BlockWordSplitter<kLimit> splitter(delims);
    kf::WordCounter counter;
    size_t index = 0;
    auto sink = [&](const char *key, size_t keyLen, uint64_t len) {
        if (index >= expected.size() || len != expected[index].size() ||
            std::string_view(key, keyLen) != std::string_view(expected[index]).substr(0, kLimit))
            std::abort();
        ++index;
        counter.add(key, keyLen, len);
    };
    for (size_t pos = 0; pos < text.size(); pos += piece)
        splitter.feed(text.substr(pos, piece), sink);
    splitter.finish(sink);
    if (index != expected.size())
        std::abort();

    std::map<std::string, int32_t> counts;
    for (const std::string &w : expected)
        ++counts[w.substr(0, kLimit)];
    counter.flush();
    if (counter.size() != counts.size())
        std::abort();
    for (size_t i = 0; i < counter.size(); ++i) {
        const auto it = counts.find(std::string(counter.key(i)));
        if (it == counts.end() || it->second != counter.count(i))
            std::abort();
    }
    return 0;
}
