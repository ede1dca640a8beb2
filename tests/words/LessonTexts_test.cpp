#include "words/LessonTexts.h"

#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "common/Errors.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"
#include "model/MainData.h"
#include "table/FieldValue.h"
#include "words/CoursePlan.h"
#include "words/FileWordScan.h"
#include "SmallKeyboards.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cctype>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace kf;

namespace {

const CodePage &cp1252()
{
    static const CodePage cp("CP1252");
    return cp;
}

int32_t fingerOfColumn(size_t c)
{
    static const int32_t fingers[] = {Fingers::LLittle, Fingers::LRing,   Fingers::LMiddle, Fingers::LIndex,
                                      Fingers::LIndex,  Fingers::RIndex,  Fingers::RIndex,  Fingers::RMiddle,
                                      Fingers::RRing,   Fingers::RLittle};
    return c < 10 ? fingers[c] : Fingers::RLittle;
}

// A US-style keyboard: letters with their capitals under Shift, and the
// marks of the main block (! ? : " under Shift).
TKeyLayout UsKeyboard()
{
    const std::vector<std::string> rows = {"1234567890-", "qwertyuiop", "asdfghjkl;'", "zxcvbnm,./"};
    const std::map<char, char> shifted = {{'1', '!'}, {'9', '('}, {'0', ')'}, {';', ':'},
                                          {'\'', '"'}, {'/', '?'}, {'-', '_'}};
    TDataMod dm;
    int32_t value = 1;
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c, ++value) {
            const char ch = rows[r][c];
            sample::AddKey(dm, std::string(1, ch), value, KeyTypes::Alpha, TValue(0), fingerOfColumn(c),
                           int(c) * 40 + int(r) * 10, int(r) * 40, 40, 40);
            sample::AddChar(dm, std::string(1, ch), uint8_t(ch), TValue(value), false, false, 0);
            char up = 0;
            if (ch >= 'a' && ch <= 'z')
                up = char(ch - 32);
            else if (shifted.count(ch))
                up = shifted.at(ch);
            if (up)
                sample::AddChar(dm, std::string(1, up), uint8_t(up), TValue(value), true, false, 0);
        }
    return TKeyLayout::FromDataMod(dm);
}

// Running text as a teacher might give it: short lines of small words,
// sentences with capitals and marks, a decimal number, a long sentence, a
// repeated one and a two-word one.
const char *const kCorpus =
    "dad had a sad lad\n\n"
    "a lad has a flask\n\n"
    "ask dad as he is glad\n\n"
    "The old man sat in the sun. He said: \"The sea is calm today.\" Is it far to the lake?\n"
    "Yes, it is far. We walk there at dawn! The water is 3.5 metres deep there.\n"
    "The old man sat in the sun. Go now.\n"
    "Fish swim in the lake and birds fly over it all day long and we sit by the shore and watch "
    "them until the sun goes down behind the hills.\n"
    "She reads a book by the window. Her brother cooks fish for supper. They talk about the garden.\n"
    "Children run in the park, and dogs bark at them. The rain stops at noon.\n";

// The dictionary: the corpus words, small, counted.
TPlanDictionary Dictionary()
{
    std::map<std::string, uint64_t> counts;
    std::string word;
    for (const char *p = kCorpus;; ++p) {
        const char c = *p;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            word += char(c | 0x20);
        } else {
            if (!word.empty())
                ++counts[word];
            word.clear();
        }
        if (!c)
            break;
    }
    for (const char *extra : {"jak", "fad", "lads", "flag", "gash", "hag", "jag", "sash", "dash", "all", "fall", "hall"})
        counts[extra] += 2;
    std::vector<std::string> lines;
    for (const auto &[w, n] : counts)
        lines.push_back(w + "\t" + std::to_string(n));
    return TPlanDictionary::FromLines(lines);
}

DecodedText Decoded(const std::string &bytes)
{
    DecodedText t;
    t.bytes = bytes;
    return t;
}

// The corpus with its blanks made single.
std::string Normalised(const std::string &text)
{
    std::string out;
    bool blank = false;
    for (const char c : text) {
        if (uint8_t(c) <= ' ') {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        out += c;
        blank = false;
    }
    return out;
}

std::vector<std::string> Split(const std::string &line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

struct Course {
    TKeyLayout layout = UsKeyboard();
    TPlanDictionary dictionary = Dictionary();
    std::unique_ptr<TLessonTexts> texts;

    explicit Course(bool withCorpus = true)
    {
        TCoursePlan plan(layout, cp1252(), dictionary, {});
        plan.Make();
        texts = std::make_unique<TLessonTexts>(cp1252(), layout);
        if (withCorpus)
            texts->AddText(Decoded(kCorpus));
        std::vector<std::string> news;
        for (const TPlanLesson &l : plan.Lessons())
            news.push_back(l.New);
        texts->SetPlan(news, dictionary);
    }
};

struct Shape {
    const char *name;
    int length;
    int width;
    uint64_t seed;
};

class LessonTextsShapeTest : public ::testing::TestWithParam<Shape> {};

TEST_P(LessonTextsShapeTest, EveryLessonKeepsItsCharactersWordsSentencesAndWidth)
{
    const Shape shape = GetParam();
    Course course;
    TLessonOptions o;
    o.Length = shape.length;
    o.Width = shape.width;
    o.Seed = shape.seed;
    const std::vector<TLessonText> lessons = course.texts->Make(o);
    ASSERT_GE(lessons.size(), 3u);

    std::set<std::string> dictionary(course.dictionary.Words.begin(), course.dictionary.Words.end());
    const std::string corpus = Normalised(kCorpus);
    std::set<int> sentencesUsed;
    std::set<std::string> sentenceTexts; // the texts say "The old man sat in the sun." twice
    std::string previous;
    size_t sentenceLines = 0;
    for (size_t k = 0; k < lessons.size(); ++k) {
        const TLessonText &l = lessons[k];
        SCOPED_TRACE("lesson " + std::to_string(k + 1) + " \"" + l.New + "\"");
        // Strings grow lesson by lesson.
        EXPECT_EQ(l.String, previous + l.New);
        EXPECT_FALSE(l.New.empty());
        previous = l.String;
        std::map<char, size_t> shown;
        size_t words = 0, withNew = 0;
        int lastSentence = -1;
        std::string sentence;
        const auto endSentence = [&] {
            if (lastSentence < 0)
                return;
            EXPECT_TRUE(sentencesUsed.insert(lastSentence).second) << "used twice: " << sentence;
            EXPECT_TRUE(sentenceTexts.insert(sentence).second) << "written twice: " << sentence;
            EXPECT_NE(corpus.find(sentence), std::string::npos) << "not in the texts: " << sentence;
            sentence.clear();
        };
        for (const TLessonLine &line : l.Lines) {
            EXPECT_LE(line.Text.size(), size_t(shape.width)) << line.Text;
            EXPECT_FALSE(line.Text.empty());
            for (const char c : line.Text) {
                if (c != ' ') {
                    EXPECT_NE(l.String.find(c), std::string::npos) << "'" << c << "' in " << line.Text;
                }
                ++shown[c];
            }
            if (line.Kind == TLessonLineKind::Words) {
                std::string last;
                for (const std::string &w : Split(line.Text)) {
                    // As written, or with its capital in a lesson of capitals.
                    const std::string small = char(w[0] | 0x20) + w.substr(1);
                    EXPECT_TRUE(dictionary.count(w) || (l.New.find(w[0]) != std::string::npos && dictionary.count(small)))
                        << w;
                    EXPECT_NE(w, last) << "twice in a row";
                    last = w;
                    ++words;
                    withNew += w.find_first_of(l.New) != std::string::npos ? 1 : 0;
                }
            }
            if (line.Kind == TLessonLineKind::Sentence) {
                ++sentenceLines;
                if (line.Sentence != lastSentence) {
                    endSentence();
                    lastSentence = line.Sentence;
                } else {
                    sentence += ' ';
                }
                sentence += line.Text;
            } else {
                endSentence();
                lastSentence = -1;
            }
        }
        endSentence();
        for (const char c : l.New)
            EXPECT_GE(shown[c], l.New.size() > 10 ? 1u : 5u) << "'" << c << "'";
        if (words > 0 && withNew > 0) {
            EXPECT_GE(withNew * 3, words);
        }
    }
    EXPECT_GT(sentenceLines, 0u);
}

INSTANTIATE_TEST_SUITE_P(Shapes, LessonTextsShapeTest,
                         ::testing::Values(Shape{"Default", 600, 60, 1}, Shape{"Narrow", 300, 20, 7},
                                           Shape{"Long", 3000, 80, 42}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(LessonTextsTest, CapitalsAndPunctuationComeAfterTheLettersAndThenWholeSentences)
{
    Course course;
    const std::vector<std::string> &news = course.texts->LessonNews();
    ASSERT_GE(news.size(), 3u);
    // The capitals of every letter learned, then the marks the texts use
    // most ('.' first; '3' and '5' are no marks).
    const std::string capitals = news[news.size() - 2];
    EXPECT_NE(capitals.find('T'), std::string::npos);
    EXPECT_EQ(capitals.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << capitals;
    const std::string marks = news.back();
    EXPECT_EQ(marks[0], '.');
    for (const char m : {',', '?', '!', '"', ':'})
        EXPECT_NE(marks.find(m), std::string::npos) << m;

    const std::vector<TLessonText> lessons = course.texts->Make({});
    std::vector<std::string> sentences;
    for (size_t k = 0; k < lessons.size(); ++k)
        for (const TLessonLine &line : lessons[k].Lines)
            if (line.Kind == TLessonLineKind::Sentence)
                sentences.push_back(std::to_string(k) + "|" + line.Text);
    const size_t capitalsLesson = lessons.size() - 2;
    // Lowercase lines come early, in the lesson of their last letter.
    EXPECT_NE(std::find(sentences.begin(), sentences.end(), "4|dad had a sad lad"), sentences.end());
    bool wholeSentence = false;
    for (const std::string &s : sentences) {
        const size_t k = std::stoul(s.substr(0, s.find('|')));
        const std::string text = s.substr(s.find('|') + 1);
        if (k < capitalsLesson) {
            EXPECT_EQ(text.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ.,!?:\""), std::string::npos) << text;
        }
        if (k == capitalsLesson) {
            EXPECT_EQ(text.find_first_of(".,!?:\""), std::string::npos) << text; // without its full stop
        }
        wholeSentence |= k == lessons.size() - 1 && text.back() == '.';
    }
    EXPECT_TRUE(wholeSentence);
}

TEST(LessonTextsTest, ASavedPlanWithCapitalsAndAFullStopGetsNoLessonsAdded)
{
    Course course;
    course.texts->SetPlan({"fjdk", "slaF", "J.,"}, course.dictionary);
    const std::vector<std::string> kept = {"fjdk", "slaF", "J.,"};
    EXPECT_EQ(course.texts->LessonNews(), kept);
    // A hyphen of the words is no punctuation lesson.
    course.texts->SetPlan({"fjdk", "sla-"}, course.dictionary);
    ASSERT_EQ(course.texts->LessonNews().size(), 4u);
    EXPECT_EQ(course.texts->LessonNews()[2], "FJDKSLA");
    EXPECT_EQ(course.texts->LessonNews()[3][0], '.');
}

TEST(LessonTextsTest, TheSameSeedGivesTheSameLinesAnotherSeedOthers)
{
    Course course;
    TLessonOptions o;
    const std::string once = LessonTextsJson(course.texts->Make(o), cp1252());
    EXPECT_EQ(LessonTextsJson(course.texts->Make(o), cp1252()), once);
    Course again;
    EXPECT_EQ(LessonTextsJson(again.texts->Make(o), cp1252()), once);
    o.Seed = 2;
    EXPECT_NE(LessonTextsJson(course.texts->Make(o), cp1252()), once);
}

struct CutCase {
    const char *name;
    const char *text;
    std::vector<std::string> sentences; // as written with their marks
};

class LessonTextsCutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(LessonTextsCutTest, SentencesAreCutAtMarksAndEmptyLines)
{
    const CutCase c = GetParam();
    const TKeyLayout layout = UsKeyboard();
    const TPlanDictionary dictionary = Dictionary();
    TLessonTexts texts(cp1252(), layout);
    texts.AddText(Decoded(c.text));
    std::vector<std::string> got;
    for (size_t i = 0; i < texts.SentenceCount(); ++i)
        got.push_back(texts.Sentence(int(i)));
    EXPECT_EQ(got, c.sentences);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LessonTextsCutTest,
    ::testing::Values(
        CutCase{"Marks", "One two three. Four five six! Seven eight nine?", {"One two three.", "Four five six!", "Seven eight nine?"}},
        CutCase{"ClosingQuotes", "He said \"go home now!\" and left at once.", {"He said \"go home now!\"", "and left at once."}},
        CutCase{"Decimals", "It is 3.5 metres deep here.", {"It is 3.5 metres deep here."}},
        CutCase{"EmptyLines", "no mark here at all\n  \nnor   here\tat all\nstill here", {"no mark here at all", "nor here at all still here"}},
        CutCase{"TooShortAndTooLong", "Go now. a b c d e f g h i j k l m n o p q r s t u. One two three.", {"One two three."}},
        CutCase{"TextEnd", "We walk  home\ttoday", {"We walk home today"}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(LessonTextsTest, ASentenceWithACharacterTheCodePageLacksIsLeftOut)
{
    const TKeyLayout layout = UsKeyboard();
    const TPlanDictionary dictionary = Dictionary();
    TLessonTexts texts(cp1252(), layout);
    DecodedText t = Decoded("We met in ?od today. We met at home today.");
    t.unmapped.push_back({10, U'\u0141'});
    texts.AddText(t);
    ASSERT_EQ(texts.SentenceCount(), 1u);
    EXPECT_EQ(texts.Sentence(0), "We met at home today.");
}

TEST(LessonTextsTest, TooFewWordsGiveDrillLinesAndAWarningNoSentenceAWarning)
{
    const TKeyLayout layout = UsKeyboard();
    const TPlanDictionary dictionary = TPlanDictionary::FromLines({"jj", "fff", "jf", "fjj", "dk", "kd"});
    TLessonTexts texts(cp1252(), layout);
    texts.AddText(Decoded("Nothing here is typeable in the first lessons."));
    texts.SetPlan({"fj", "dk"}, dictionary);
    const std::vector<TLessonText> lessons = texts.Make({});
    ASSERT_EQ(lessons.size(), 4u); // fj, dk, FJDK, .
    EXPECT_GT(lessons[0].Count(TLessonLineKind::Drill), 0u);
    EXPECT_GT(lessons[0].Count(TLessonLineKind::Words), 0u); // four words: enough
    const auto warned = [](const TLessonText &l, const std::string &part) {
        for (const std::string &w : l.Warnings)
            if (w.find(part) != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(warned(lessons[0], "no sentence"));
    EXPECT_FALSE(warned(lessons[0], "too few words"));
    // The capitals: no word of the dictionary has them, so every other
    // word comes with its capital; no word has the full stop.
    EXPECT_EQ(lessons[2].New, "FJDK");
    EXPECT_FALSE(warned(lessons[2], "no word of the dictionary holds a new character"));
    size_t words = 0, capitalised = 0;
    for (const TLessonLine &line : lessons[2].Lines)
        if (line.Kind == TLessonLineKind::Words)
            for (const std::string &w : Split(line.Text)) {
                ++words;
                capitalised += std::isupper(uint8_t(w[0])) ? 1 : 0;
                EXPECT_TRUE(w.size() == 1 || std::islower(uint8_t(w[1]))) << w;
            }
    EXPECT_GT(words, 10u);
    EXPECT_GE(capitalised * 2, words);
    EXPECT_TRUE(warned(lessons[3], "no word of the dictionary holds a new character"));

    const TPlanDictionary two = TPlanDictionary::FromLines(std::vector<std::string>{"jj", "ff"});
    TLessonTexts few(cp1252(), layout);
    few.SetPlan({"fj"}, two);
    const std::vector<TLessonText> drills = few.Make({});
    ASSERT_EQ(drills.size(), 2u);
    EXPECT_EQ(drills[0].Count(TLessonLineKind::Words), 0u);
    EXPECT_GT(drills[0].Count(TLessonLineKind::Drill), 0u);
    EXPECT_TRUE(warned(drills[0], "too few words"));
    EXPECT_FALSE(warned(drills[0], "no sentence")); // no texts were given
}

TEST(LessonTextsTest, DrillsPairLettersBothWaysCapitalsBeforeAndMarksOnTheirSide)
{
    Course course(false);
    course.texts->SetPlan({"fj", "dk", "(.)", "FD"}, course.dictionary);
    const std::vector<TLessonText> lessons = course.texts->Make({});
    ASSERT_EQ(lessons.size(), 4u);
    const auto tokens = [&](size_t k) {
        std::set<std::string> all;
        for (const TLessonLine &line : lessons[k].Lines)
            if (line.Kind == TLessonLineKind::Drill)
                for (const std::string &t : Split(line.Text))
                    all.insert(t);
        return all;
    };
    const std::set<std::string> letters = tokens(1), marks = tokens(2), capitals = tokens(3);
    for (const char *t : {"d", "dd", "dj", "jd", "df", "fd", "kj", "jk"})
        EXPECT_TRUE(letters.count(t)) << t;
    for (const char *t : {"(k", "k)", "k.", "(d", "d)", "d."})
        EXPECT_TRUE(marks.count(t)) << t;
    for (const char *t : {"k(", ")k", ".k"})
        EXPECT_FALSE(marks.count(t)) << t;
    EXPECT_TRUE(capitals.count("Fk"));
    EXPECT_FALSE(capitals.count("kF"));
}

TEST(LessonTextsTest, ALengthOrWidthOutOfRangeIsRefused)
{
    Course course(false);
    for (const auto &[length, width] : std::vector<std::pair<int, int>>{{10, 60}, {600, 5}, {600, 100000}, {1000000, 60}}) {
        TLessonOptions o;
        o.Length = length;
        o.Width = width;
        EXPECT_THROW(course.texts->Make(o), EConvertError) << length << " " << width;
    }
}

TEST(LessonTextsTest, TextFormatHasAHeadingPerLessonAndJsonItsKinds)
{
    Course course(false);
    const std::vector<TLessonText> lessons = course.texts->Make({});
    const std::string text = LessonTextsText(lessons, cp1252(), true);
    EXPECT_EQ(text.rfind("Lesson 1: f j\n", 0), 0u) << text.substr(0, 40);
    EXPECT_NE(text.find("\n\nLesson 2: d k\n"), std::string::npos);
    const std::string json = LessonTextsJson(lessons, cp1252());
    EXPECT_NE(json.find("\"kind\": \"drill\""), std::string::npos);
    EXPECT_NE(json.find("\"kind\": \"words\""), std::string::npos);
}

TEST(LessonTextsTest, ASavedPlanIsReadBackAndAnythingElseRefused)
{
    const TKeyLayout layout = UsKeyboard();
    TCoursePlan plan(layout, cp1252(), Dictionary(), {});
    plan.Make();
    const std::vector<std::string> news = ReadSavedPlan(plan.Json(), cp1252(), "plan.json");
    ASSERT_EQ(news.size(), plan.Lessons().size());
    for (size_t k = 0; k < news.size(); ++k)
        EXPECT_EQ(news[k], plan.Lessons()[k].New);
    EXPECT_THROW(ReadSavedPlan("{\"lessons\": []}", cp1252(), "x"), EConvertError);
    EXPECT_THROW(ReadSavedPlan("not json", cp1252(), "x"), EConvertError);
    EXPECT_THROW(ReadSavedPlan("{\"lessons\": [{\"new\": \"\u0142\"}]}", cp1252(), "x"), EConvertError);
}

struct ReadCase {
    const char *name;
    QByteArray bytes;
    InputEncoding encoding;
};

class LessonTextsReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(LessonTextsReadTest, TextsAreReadInTheirEncodingIntoTheCodePage)
{
    const ReadCase c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("text.txt");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.bytes);
    f.close();
    const CodePage cp("CP1257");
    CodePage::choose("CP1257");
    const DecodedText t = FileWordScan::readText(path.toStdString(), InputEncoding::Auto);
    CodePage::reload();
    EXPECT_EQ(t.encoding, c.encoding);
    EXPECT_EQ(cp.decode(t.bytes), QString::fromUtf8("Žąsys skrenda."));
    EXPECT_TRUE(t.unmapped.empty());
}

QByteArray Utf16Le(const QString &s)
{
    QByteArray b("\xFF\xFE", 2);
    for (const QChar c : s) {
        b.append(char(c.unicode() & 0xFF));
        b.append(char(c.unicode() >> 8));
    }
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, LessonTextsReadTest,
    ::testing::Values(ReadCase{"Utf8", QString::fromUtf8("Žąsys skrenda.").toUtf8(), InputEncoding::Utf8},
                      ReadCase{"Utf8Mark", "\xEF\xBB\xBF" + QString::fromUtf8("Žąsys skrenda.").toUtf8(), InputEncoding::Utf8},
                      ReadCase{"CodePage", QByteArray("\xDE\xE0sys skrenda."), InputEncoding::CodePage},
                      ReadCase{"Utf16", Utf16Le(QString::fromUtf8("Žąsys skrenda.")), InputEncoding::Utf16LE}),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace
