#include "words/DicBuilder.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/ReplacingFile.h"
#include "common/LibraryErrors.h"
#include "table/ControlsDisabled.h"
#include "words/FileWordScan.h"
#include "words/WordCounter.h"

#include <cerrno>
#include <exception>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace kf {

namespace {

static_assert(WordCounter::kKeyLimit == size_t(TDicBuilder::kWordSize));

// Lists are written in blocks of this size.
constexpr size_t kBlockSize = size_t(1) << 20;

uint32_t tickMs()
{
    using namespace std::chrono;
    return uint32_t(uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()));
}

// Puts a table back into WordIndex order, filtered as it was, at scope end.
struct WordOrderAfterBulk {
    explicit WordOrderAfterBulk(TRecordTable &t) : table(t), filtered(t.Filtered()) {}
    ~WordOrderAfterBulk()
    {
        try {
            table.SetIndexName("WordIndex");
            if (filtered)
                table.SetFiltered(true);
        } catch (...) {
            // Both were valid a moment ago; nothing better to do in a destructor.
        }
    }
    WordOrderAfterBulk(const WordOrderAfterBulk &) = delete;
    WordOrderAfterBulk &operator=(const WordOrderAfterBulk &) = delete;

    TRecordTable &table;
    const bool filtered;
};

bool hasDigit(std::string_view s)
{
    for (char c : s)
        if (c >= '0' && c <= '9')
            return true;
    return false;
}

int32_t addCapped(int32_t a, int32_t b)
{
    const int64_t sum = int64_t(a) + int64_t(b);
    return sum > INT32_MAX ? INT32_MAX : int32_t(sum);
}

} // namespace

// One scan: the hash index over the rows the table already holds plus the
// words met so far, and the bookmarks of those rows.
class TDicBuilder::Scan {
public:
    Scan(TRecordTable &table, int wordField, int countField, int lenField)
        : m_table(table), m_wordField(wordField), m_countField(countField), m_lenField(lenField)
    {
        // Every row takes part, those hidden by the filter too, so that a
        // word keeps one row whatever is listed.
        m_all.CloneCursor(m_table);
        const int n = m_all.RecordCount();
        m_existing.reserve(size_t(n));
        for (int i = 0; i < n; ++i) {
            const TValue word = m_all.FieldValueAt(i, m_wordField);
            const TValue len = m_all.FieldValueAt(i, m_lenField);
            if (m_counter.addExisting(word.bytes(), len.integer()))
                m_existing.push_back(m_all.RowAt(i));
        }
    }

    // Reads the files in order (see FileWordScan); the encoding of each
    // file read goes to encodings, the files that look binary to binary.
    void readFiles(const std::vector<std::string> &paths, const WordScanSettings &settings,
                   std::vector<InputEncoding> &encodings, std::vector<std::string> &binary)
    {
        FileWordScan files(settings, m_counter);
        try {
            for (const std::string &path : paths)
                encodings.push_back(files.scanFile(path));
        } catch (...) {
            m_scanned += files.wordsScanned();
            m_unmappable.merge(files.unmappable());
            binary = files.binaryFiles();
            throw;
        }
        m_scanned += files.wordsScanned();
        m_unmappable.merge(files.unmappable());
        binary = files.binaryFiles();
    }

    const UnmappableTally &unmappable() const { return m_unmappable; }
    uint32_t wordsScanned() const { return m_scanned; }

    // Writes the counts into the table: existing rows get theirs added, new
    // words are appended in word order, so that after a first scan the stored
    // order is the word order: the word index then costs one pass, and the
    // listed rows are read front to back.
    void commit()
    {
        m_counter.flush();
        const size_t existing = m_counter.existingCount();
        for (size_t i = 0; i < existing; ++i) {
            const int32_t count = m_counter.count(i);
            if (count == 0)
                continue;
            const TBookmark &row = m_existing[i];
            const int32_t old = m_all.BookmarkValue(row, m_countField).integer();
            m_table.SetBookmarkValue(row, m_countField, TValue(addCapped(old, count)));
        }
        std::vector<TBookmark>().swap(m_existing);
        const size_t bytes = m_counter.newKeyBytes();
        const std::vector<uint32_t> fresh = m_counter.takeNewInKeyOrder();
        constexpr size_t kAhead = 16; // entries are read in key order, not stored order
        m_table.AppendRows(fresh.size(), [&](size_t i, TCell *cells) {
            if (i + kAhead < fresh.size())
                m_counter.prefetchAt(fresh[i + kAhead]);
            const uint32_t at = fresh[i];
            cells[m_wordField] = TCell::Bytes(m_counter.keyAt(at));
            cells[m_countField] = TCell::Integer(m_counter.countAt(at));
            cells[m_lenField] = TCell::Integer(m_counter.lengthAt(at));
        }, bytes);
        m_counter.clear();
    }

private:
    TRecordTable &m_table;
    TRecordTable m_all; // a clone: all rows, stored order
    int m_wordField, m_countField, m_lenField;
    WordCounter m_counter;
    std::vector<TBookmark> m_existing; // the row of counter entry i < existingCount()
    uint32_t m_scanned = 0;
    UnmappableTally m_unmappable;
};

DelimiterSet TDicBuilder::StandardDelimiters()
{
    DelimiterSet d;
    for (int b = 0; b < 0x20; ++b)
        d.insert(uint8_t(b));
    d.insert(std::string_view(" \"'`()[]{},.:;/\\"));
    return d;
}

DelimiterSet TDicBuilder::Delimiters(std::string_view additional)
{
    DelimiterSet d = StandardDelimiters();
    d.insert(additional);
    return d;
}

TDicBuilder::TDicBuilder() : m_unmappable(std::make_unique<UnmappableTally>())
{
    m_table.CreateDataSet({{"Word", TFieldType::String, kWordSize},
                           {"Count", TFieldType::Integer},
                           {"Len", TFieldType::Integer}});
    m_table.AddIndex("WordIndex", "Word");
    m_table.AddIndex("CountIndex", "Count;Word", "Count");
    m_table.SetLogChanges(false);
    m_table.SetIndexName("WordIndex");
    m_wordField = m_table.FindFieldIndex("Word");
    m_countField = m_table.FindFieldIndex("Count");
    m_lenField = m_table.FindFieldIndex("Len");
}

TDicBuilder::~TDicBuilder() = default;

uint32_t TDicBuilder::MakeWordList(const std::vector<std::string> &paths, bool caseSensitive,
                                   const std::string &additionalDelimiters)
{
    const uint32_t start = tickMs();
    WordScanSettings settings;
    settings.delimiters = Delimiters(additionalDelimiters);
    if (caseSensitive) {
        for (int i = 0; i < 256; ++i)
            settings.translate[size_t(i)] = uint8_t(i);
    } else {
        settings.translate = CodePage::current().lowerTable();
    }
    settings.caseSensitive = caseSensitive;
    settings.encoding = m_encoding;
    settings.blockSize = m_tuning.blockSize;
    settings.splitFrom = m_tuning.splitFrom;
    settings.threads = m_tuning.threads;
    settings.splitBelowNewWordShare = m_tuning.splitBelowNewWordShare;
    m_lastEncodings.clear();
    m_lastBinaryFiles.clear();

    std::exception_ptr failure;
    {
        ControlsDisabled quiet(m_table);
        m_table.CheckBrowseMode();
        // The rows change in bulk while this cursor is in stored order and
        // unfiltered, where every added or changed row keeps its place; the
        // word order and the filter come back afterwards (whatever happens)
        // and are built once, when next used.
        WordOrderAfterBulk restore(m_table);
        m_table.SetIndexName(std::string());
        if (restore.filtered)
            m_table.SetFiltered(false);

        Scan scan(m_table, m_wordField, m_countField, m_lenField);
        try {
            scan.readFiles(paths, settings, m_lastEncodings, m_lastBinaryFiles);
        } catch (...) {
            // What was counted before the failure stays.
            failure = std::current_exception();
        }
        scan.commit();
        m_wordsScanned += scan.wordsScanned();
        m_unmappable->merge(scan.unmappable());
    }
    const uint32_t elapsed = tickMs() - start;
    m_table.First();
    if (failure)
        std::rethrow_exception(failure);
    return elapsed;
}

void TDicBuilder::SortByFrequency()
{
    m_table.SetIndexName("CountIndex");
    m_table.First();
}

void TDicBuilder::SortByAlpha()
{
    m_table.SetIndexFieldNames("Word");
    m_table.First();
}

void TDicBuilder::SortByLen()
{
    m_table.CheckBrowseMode();
    const TBookmark current = m_table.GetBookmark();
    m_table.SetIndexFieldNames("len;word");
    if (!current.IsNull() && m_table.BookmarkValid(current) && m_table.ViewIndexOf(current) >= 0)
        m_table.GotoBookmark(current);
}

void TDicBuilder::KickoutDigits()
{
    ControlsDisabled quiet(m_table);
    m_table.CheckBrowseMode();
    std::vector<TBookmark> doomed;
    const int n = m_table.RecordCount();
    for (int i = 0; i < n; ++i)
        if (hasDigit(m_table.FieldValueAt(i, m_wordField).bytes()))
            doomed.push_back(m_table.RowAt(i));
    m_table.DeleteRecords(doomed);
    m_table.First();
}

void TDicBuilder::DeleteSelected(const std::vector<TBookmark> &selected)
{
    ControlsDisabled quiet(m_table);
    m_table.CheckBrowseMode();
    std::vector<TBookmark> doomed;
    doomed.reserve(selected.size());
    std::unordered_set<uint32_t> seen; // a row listed twice counts once, where first listed
    for (const TBookmark &bm : selected)
        if (m_table.BookmarkValid(bm) && m_table.ViewIndexOf(bm) >= 0 && seen.insert(bm.Row).second)
            doomed.push_back(bm);
    if (doomed.empty())
        return;
    // The row after the last one deleted becomes current, as when deleting
    // them one by one.
    m_table.GotoBookmark(doomed.back());
    m_table.DeleteRecords(doomed);
}

uint32_t TDicBuilder::UnmappableWords() const
{
    return m_unmappable->occurrences();
}

std::vector<std::pair<std::string, uint32_t>> TDicBuilder::TopUnmappableWords(size_t limit) const
{
    return m_unmappable->top(limit);
}

void TDicBuilder::ClearWordlist()
{
    m_wordsScanned = 0;
    m_unmappable->clear();
    m_table.CheckBrowseMode();
    m_table.EmptyDataSet();
}

void TDicBuilder::writeListed(const std::string &path, bool withCounts) const
{
    // Written block by block (the list is never held whole) into a file that
    // replaces the old one only once it is complete.
    ReplacingFile file(path);
    std::string buffer;
    buffer.reserve(kBlockSize + 64);
    const int n = m_table.RecordCount();
    for (int i = 0; i < n; ++i) {
        buffer += m_table.FieldBytesAt(i, m_wordField);
        if (withCounts) {
            buffer += '\t';
            buffer += std::to_string(m_table.FieldValueAt(i, m_countField).integer());
        }
        buffer += "\r\n";
        if (buffer.size() >= kBlockSize) {
            file.write(buffer);
            buffer.clear();
        }
    }
    file.write(buffer);
    file.commit();
}

void TDicBuilder::SaveWordlist(const std::string &path) const
{
    writeListed(path, false);
}

void TDicBuilder::SaveFrequencyList(const std::string &path) const
{
    writeListed(path, true);
}

void TDicBuilder::FilterWordLength(int32_t min, int32_t max)
{
    m_table.SetFilter("Len>=" + std::to_string(min) + " AND Len<=" + std::to_string(max));
    m_table.SetFiltered(true);
}

void TDicBuilder::FilterFrequency(int32_t min, int32_t max)
{
    m_table.SetFilter("Count>=" + std::to_string(min) + " AND Count<=" + std::to_string(max));
    m_table.SetFiltered(true);
}

void TDicBuilder::ListAll()
{
    m_table.SetFiltered(false);
}

} // namespace kf
