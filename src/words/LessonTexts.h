#pragma once
// Lesson texts: what a learner types in each lesson of a course plan. Each
// lesson gets drill lines (its new characters alone, doubled and paired with
// the known ones), word lines (dictionary words typeable with the lesson's
// characters, drawn more often the more often they occur (by the square root
// of their counts, so that a few short words do not fill the lines), half of
// them holding a new character while the dictionary has such words) and,
// when the author's own texts are given, sentence lines (sentences of those
// texts typeable with the lesson's characters, each used once in the whole
// course, kept as written with their blanks made single).
//
// The lessons are those of the letters' plan followed, when the plan lacks
// them (it holds no capital; it holds no full stop), by a lesson for the
// capitals of its letters and one for the punctuation marks the texts use
// most that the keyboard types. Before those lessons a sentence qualifies
// only without capitals and punctuation;
// a sentence whose closing mark is not learned yet comes without it.
//
// The texts are read and cut once; the lessons of another length, width or
// seed are made again from that index. The same options give the same bytes.

#include "common/CodePageDecoder.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

class CodePage;
class TKeyLayout;
struct TPlanDictionary;

enum class TLessonLineKind { Drill, Words, Sentence };
// "drill", "words", "sentence".
const char *LessonLineKindName(TLessonLineKind kind);

struct TLessonLine {
    TLessonLineKind Kind = TLessonLineKind::Drill;
    std::string Text; // code-page bytes
    int Sentence = -1; // a sentence line: the sentence it is part of (TLessonTexts::Sentence)
};

struct TLessonText {
    std::string New;    // the characters this lesson brings in (code-page bytes)
    std::string String; // every character learned up to this lesson
    std::vector<TLessonLine> Lines;
    std::vector<std::string> Warnings; // UTF-8

    size_t Count(TLessonLineKind kind) const;
};

struct TLessonOptions {
    int Length = 600; // characters a lesson, about
    int Width = 60;   // characters a line, at most
    uint64_t Seed = 1;

    static constexpr int kMinLength = 50, kMaxLength = 100000;
    static constexpr int kMinWidth = 20, kMaxWidth = 1000;
    // Throws EConvertError naming the option out of range.
    void Check() const;
};

class TLessonTexts {
public:
    // The code page of the keyboard, the dictionary and the texts; the
    // keyboard tells which capitals and marks it types.
    TLessonTexts(const CodePage &codePage, const TKeyLayout &layout);
    ~TLessonTexts();
    TLessonTexts(const TLessonTexts &) = delete;
    TLessonTexts &operator=(const TLessonTexts &) = delete;

    // Reads a text of the author into sentences (code-page bytes; a sentence
    // holding one of the `unmapped` characters is left out). A text that
    // could not be read is added empty: the lessons then say they have no
    // sentence. Call before SetPlan.
    void AddText(DecodedText text);
    // Whether texts were given, and the sentences cut from them (a sentence
    // the texts repeat is used once).
    bool HasTexts() const { return m_hasTexts; }
    size_t SentenceCount() const { return m_sentences.size(); }
    // A sentence as a lesson writes it, with its closing marks or without.
    std::string Sentence(int index, bool withClose = true) const;

    // Takes the letters' plan (the new characters of each lesson), adds the
    // capitals and punctuation lessons it lacks, and indexes the words of the
    // dictionary and the sentences by the lesson in which they become
    // typeable. The dictionary is read where it is: it must stay until the
    // next SetPlan or the end of these texts.
    void SetPlan(const std::vector<std::string> &newChars, const TPlanDictionary &dictionary);
    // The lessons' new characters, the added lessons included.
    const std::vector<std::string> &LessonNews() const { return m_news; }

    // Makes the lessons' texts (options checked first); none before SetPlan.
    std::vector<TLessonText> Make(const TLessonOptions &options) const;

    // A code-page text in UTF-8.
    std::string Utf8(std::string_view bytes) const;

private:
    // A sentence of the texts: where it starts in them, how long it is
    // without its closing marks (and the quotes after them) and with them.
    struct Sentence_ {
        size_t Start = 0;
        uint32_t Body = 0;
        uint32_t Full = 0;
    };
    void cut(const std::vector<UnmappedChar> &unmapped, size_t base);
    int lessonOfRange(size_t from, size_t to) const;
    std::vector<std::string> drillLines(const std::string &news, const std::string &known, int width) const;

    const CodePage &m_codePage;
    const TPlanDictionary *m_dictionary = nullptr;
    std::array<bool, 256> m_typed{};   // the keyboard types the byte (no dead key)
    std::array<uint8_t, 256> m_class{}; // blank, letter or digit, closing mark, other
    bool m_hasTexts = false;
    std::string m_corpus; // the texts one after another
    std::vector<Sentence_> m_sentences;
    std::array<uint64_t, 256> m_uses{}; // how often each byte stands in the texts

    std::vector<std::string> m_news;
    std::array<int, 256> m_lessonOf{};
    // The dictionary's entries ordered by the lesson that makes them
    // typeable, their counts summed in that order, and where each lesson's
    // entries end.
    std::vector<uint32_t> m_wordOrder;
    std::vector<uint64_t> m_wordSum;
    std::vector<size_t> m_wordsEnd;
    // The sentences by the lesson in which they become typeable without
    // their closing marks, and by the one that brings those marks.
    std::vector<std::vector<uint32_t>> m_byBody, m_byFull;
};

// The lessons as JSON: {"lessons": [{"new", "string", "lines": [{"kind",
// "text"}], "warnings"}]} in UTF-8.
std::string LessonTextsJson(const std::vector<TLessonText> &lessons, const CodePage &codePage);
// The lessons as text: per lesson a heading "Lesson N: new characters" and
// its lines, a blank line between lessons; in UTF-8, or in the code page.
std::string LessonTextsText(const std::vector<TLessonText> &lessons, const CodePage &codePage, bool utf8);
// The new characters of each lesson of a plan saved as JSON ("new" of each
// of its "lessons"), in the code page. Throws EConvertError for a file that
// is no plan or holds characters the code page lacks.
std::vector<std::string> ReadSavedPlan(const std::string &json, const CodePage &codePage, const std::string &name);

} // namespace kf
