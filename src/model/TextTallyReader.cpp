#include "model/TextTallyReader.h"

#include "common/CodePage.h"
#include "common/EncodingDecision.h"
#include "common/Errors.h"
#include "common/TextSource.h"
#include "common/Translation.h"
#include "model/TextTally.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace kf {

namespace {

constexpr uint64_t kToEnd = TextSource::kToEnd;

bool hasHighByte(std::string_view block)
{
    for (char c : block)
        if (uint8_t(c) >= 0x80)
            return true;
    return false;
}

// What reading one stretch of a file found.
struct PartResult {
    TTextTally tally;
    bool ended = false;       // a NUL ended the text
    bool onTrust = false;     // read as UTF-8 before the file was known to be UTF-8
};

// Reads [from, to) of a file, where the stretch starts at a character's
// first byte, in the encoding the shared decision says; read on trust as
// UTF-8, a stretch is read again as code-page bytes once the decision turns
// to the code page. Dictionary files with counts are read line by line.
class PartReader {
public:
    PartReader(const TextSource &source, const CodePage &codePage, const TTextReadOptions &options,
               uint64_t held)
        : m_source(source), m_codePage(codePage), m_options(options), m_held(held)
    {
    }

    void run(EncodingDecision &decision, uint64_t from, uint64_t to, PartResult &result)
    {
        // Progress counts each byte once, a stretch read again included.
        uint64_t reported = from;
        for (;;) {
            result = PartResult();
            if (attempt(decision, from, to, result, reported))
                return;
        }
    }

private:
    // One pass over the stretch; false when it must be read again as the
    // code page.
    bool attempt(EncodingDecision &decision, uint64_t from, uint64_t to, PartResult &result, uint64_t &reported)
    {
        m_line.clear();
        m_lineUnmapped.clear();
        m_lineNumber = 1;
        m_afterCr = false;
        std::unique_ptr<CodePageDecoder> decoder;
        std::string block(std::max<size_t>(m_options.blockSize, 16), '\0');
        std::string out;
        std::vector<UnmappedChar> unmapped;
        for (uint64_t at = from; at < to;) {
            if (m_options.cancel && m_options.cancel->load(std::memory_order_relaxed))
                throw ECancelled(Translate("The count was cancelled."));
            const size_t want = size_t(std::min<uint64_t>(block.size(), to - at));
            const size_t got = m_source.readAt(at, block.data(), want);
            if (got == 0)
                break;
            if (m_options.progress && at + got > reported) {
                m_options.progress->fetch_add(at + got - reported, std::memory_order_relaxed);
                reported = at + got;
            }
            std::string_view data(block.data(), got);
            int encoding = decision.current();
            if (result.onTrust && encoding == int(InputEncoding::CodePage))
                return false; // another stretch of the file was malformed
            const size_t nul = data.find('\0');
            if (encoding == EncodingDecision::kUndecided && hasHighByte(data.substr(0, nul)))
                encoding = decision.speculate();
            if (encoding == EncodingDecision::kUndecided || encoding == int(InputEncoding::CodePage)) {
                unmapped.clear();
                take(data.substr(0, nul), unmapped, result.tally);
                if (nul != std::string_view::npos) {
                    result.ended = true;
                    break;
                }
                at += got;
                continue;
            }
            const InputEncoding as =
                encoding == EncodingDecision::kSpeculative ? InputEncoding::Utf8 : InputEncoding(encoding);
            result.onTrust = result.onTrust || encoding == EncodingDecision::kSpeculative;
            if (!decoder) {
                decoder = std::make_unique<CodePageDecoder>(m_codePage, as);
                decoder->setBaseOffset(at);
            }
            out.clear();
            unmapped.clear();
            const CodePageDecoder::Status st = decoder->decode(data, out, unmapped);
            if (st == CodePageDecoder::Malformed)
                return malformed(decision, result, as, decoder->errorOffset());
            take(out, unmapped, result.tally);
            if (st == CodePageDecoder::EndOfText) {
                result.ended = true;
                break;
            }
            at += got;
        }
        if (decoder && !result.ended && decoder->finish() == CodePageDecoder::Malformed)
            return malformed(decision, result, InputEncoding(std::max(decision.current(), 0)),
                             decoder->errorOffset());
        if (m_options.wordCounts)
            endLine(result.tally);
        return true;
    }

    bool malformed(EncodingDecision &decision, PartResult &result, InputEncoding as, uint64_t offset)
    {
        if (result.onTrust) {
            decision.malformed();
            return false;
        }
        throw EConvertError(MalformedTextMessage(m_source.path(), as, offset));
    }

    void take(std::string_view text, const std::vector<UnmappedChar> &unmapped, TTextTally &tally)
    {
        if (!m_options.wordCounts) {
            tally.AddText(text, unmapped);
            return;
        }
        size_t u = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (u < unmapped.size() && unmapped[u].at == i) {
                m_lineUnmapped.push_back({m_line.size(), unmapped[u].ch});
                m_line += '?';
                ++u;
                continue;
            }
            const char c = text[i];
            if (c == '\n' && m_afterCr) {
                m_afterCr = false;
                continue;
            }
            m_afterCr = c == '\r';
            if (c == '\r' || c == '\n')
                endLine(tally);
            else
                m_line += c;
        }
    }

    // A line "word TAB count": the word, count times.
    void endLine(TTextTally &tally)
    {
        const uint64_t number = m_lineNumber++;
        if (!m_line.empty()) {
            const size_t tab = m_line.find('\t');
            const std::string_view word = std::string_view(m_line).substr(0, tab);
            uint64_t times = 1;
            bool tooLarge = false;
            if (tab != std::string::npos) {
                uint64_t n = 0;
                bool digits = false;
                for (size_t i = tab + 1; i < m_line.size(); ++i) {
                    const char c = m_line[i];
                    if (c >= '0' && c <= '9') {
                        digits = true;
                        if (n > (UINT64_MAX - 9) / 10)
                            tooLarge = true;
                        else
                            n = n * 10 + uint64_t(c - '0');
                    } else if (c != ' ' && c != '\t') {
                        digits = false;
                        tooLarge = false;
                        break;
                    }
                }
                if (digits)
                    times = n;
            }
            if (!word.empty() && (tooLarge || !TTextTally::Fits(m_held + tally.Held(), word.size(), times)))
                throw EConvertError(TranslateWith("%1: line %2: the count %3 is more than the figures can add up.",
                                                  {m_source.path(), std::to_string(number),
                                                   std::string_view(m_line).substr(tab + 1)}));
            if (!word.empty()) {
                std::vector<UnmappedChar> inWord;
                for (const UnmappedChar &c : m_lineUnmapped)
                    if (c.at < word.size())
                        inWord.push_back(c);
                tally.AddWordRepeated(word, inWord, times);
            }
        }
        m_line.clear();
        m_lineUnmapped.clear();
    }

    const TextSource &m_source;
    const CodePage &m_codePage;
    const TTextReadOptions &m_options;
    uint64_t m_held; // what the tally read into held before this file
    std::string m_line;
    std::vector<UnmappedChar> m_lineUnmapped;
    uint64_t m_lineNumber = 1;
    bool m_afterCr = false;
};

} // namespace

InputEncoding ReadTextFile(const std::string &path, const CodePage &codePage, const TTextReadOptions &options,
                           TTextTally &tally)
{
    TextSource source(path);
    source.ask(options.encoding);
    if (source.looksBinary() && options.warnings)
        options.warnings->push_back(LooksBinaryMessage(path));
    const size_t blockSize = std::max<size_t>(options.blockSize, 16);
    EncodingDecision decision(source.firstDecision(codePage, blockSize, options.threads, false));

    const uint64_t start = source.bodyStart(), size = source.size();
    // A large file is cut just after a line feed near its middle, so that
    // neither a character nor a CR LF is cut.
    uint64_t cut = 0;
    if (!options.wordCounts && options.threads >= 2 && size > 0 && size >= start + options.splitFrom) {
        const uint64_t lineFeed = source.cutAt(start + (size - start) / 2, [](uint8_t c) { return c == '\n'; });
        if (lineFeed != 0)
            cut = lineFeed + source.unitBytes();
    }

    auto a = std::make_unique<PartResult>();
    auto b = std::make_unique<PartResult>();
    const uint64_t held = tally.Held();
    if (cut == 0) {
        PartReader(source, codePage, options, held).run(decision, start, kToEnd, *a);
    } else {
        EncodingDecision second(decision.current(), &decision);
        const TwoPartFailures failed =
            RunTwoParts([&] { PartReader(source, codePage, options, held).run(decision, start, cut, *a); },
                        [&] { PartReader(source, codePage, options, held).run(second, cut, kToEnd, *b); });
        // The first part comes first in the text: its failure or its NUL ends it.
        if (failed.first)
            std::rethrow_exception(failed.first);
        if (!a->ended) {
            if (failed.second)
                std::rethrow_exception(failed.second);
            decision.follow(second);
            // One part turned out malformed after the other was read on
            // trust in UTF-8: that one is read again as code-page bytes.
            if (decision.current() == int(InputEncoding::CodePage)) {
                if (a->onTrust)
                    PartReader(source, codePage, options, held).run(decision, start, cut, *a);
                if (!a->ended && b->onTrust)
                    PartReader(source, codePage, options, held).run(second, cut, kToEnd, *b);
            }
        }
    }
    decision.settle();
    tally.Append(a->tally);
    if (cut != 0 && !a->ended)
        tally.Append(b->tally);
    tally.EndText();
    return InputEncoding(decision.current());
}

} // namespace kf
