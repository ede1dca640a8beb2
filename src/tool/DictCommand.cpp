// keyfolio-tool dict: scans text files into a word list and writes the listed
// words as a dictionary file (or, with --counts, as a frequency list), with
// the same digit purge, filter and order as the dictionary window offers.

#include "tool/ToolCommand.h"
#include "common/TextSource.h"
#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "common/Errors.h"
#include "common/IntegerText.h"
#include "common/TextFile.h"
#include "words/DicBuilder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <optional>

namespace kf::tool {

namespace {

const char *const kUsage =
    "  dict [--case-sensitive] [--delimiters TEXT] [--sort frequency|alpha|length]\n"
    "       [--length MIN:MAX | --frequency MIN:MAX] [--no-digits] [--counts]\n"
    "       [--input-encoding auto|codepage|utf-8|utf-16le|utf-16be] [--unmappable FILE]\n"
    "       -o OUT FILE...\n"
    "      Scans the text files in order and writes the distinct words, one a line,\n"
    "      as a dictionary file (--counts: \"word TAB count\" lines).\n"
    "      --delimiters: additional word delimiters (default \"?!|<>\"), in UTF-8 or\n"
    "        the code page.\n"
    "      --input-encoding: how the files are read (default auto: a byte-order\n"
    "      mark, else UTF-8 when the file is valid UTF-8 with a non-ASCII character,\n"
    "      else the code page). Words with a character the code page lacks are not\n"
    "      listed; --unmappable writes them (UTF-8, \"word TAB count\", most frequent\n"
    "      first).\n"
    "      Without --sort the words are in byte order.";

struct UsageError {
    std::string message;
};

std::pair<int32_t, int32_t> parseRange(const std::string &option, const std::string &value)
{
    const size_t colon = value.find(':');
    int32_t lo = 0, hi = 0;
    if (colon == std::string::npos || !ParseIntegerText(value.substr(0, colon), lo) ||
        !ParseIntegerText(value.substr(colon + 1), hi))
        throw UsageError{option + " wants MIN:MAX (two integers), not \"" + value + "\""};
    return {lo, hi};
}

enum class SortOrder { None, Frequency, Alpha, Length };

struct DictOptions {
    bool caseSensitive = false;
    std::string delimiters = TDicBuilder::kDefaultAdditionalDelimiters;
    SortOrder sort = SortOrder::None;
    std::optional<std::pair<int32_t, int32_t>> lengthRange;
    std::optional<std::pair<int32_t, int32_t>> frequencyRange;
    bool noDigits = false;
    bool counts = false;
    InputEncoding encoding = InputEncoding::Auto;
    std::string unmappable;
    std::string output;
    std::vector<std::string> files;
};

DictOptions parseArgs(const std::vector<std::string> &args)
{
    DictOptions o;
    bool haveOutput = false;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&]() -> const std::string & {
            if (i + 1 >= args.size())
                throw UsageError{a + " needs a value"};
            return args[++i];
        };
        if (optionsEnd || a.empty() || a[0] != '-' || a == "-") {
            o.files.push_back(a);
        } else if (a == "--") {
            optionsEnd = true;
        } else if (a == "--case-sensitive") {
            o.caseSensitive = true;
        } else if (a == "--delimiters") {
            // As a terminal gives them: UTF-8 becomes the code page; other
            // bytes are taken as code-page bytes already.
            const CodePage &cp = CodePage::current();
            const DecodedText typed = DecodeToCodePage(value(), InputEncoding::Auto, cp, a);
            if (!typed.unmapped.empty()) {
                std::string lacking;
                for (const UnmappedChar &u : typed.unmapped)
                    AppendUtf8(lacking, u.ch);
                throw UsageError{a + ": characters not in the code page " + cp.name() + ": " + lacking};
            }
            o.delimiters = typed.bytes;
        } else if (a == "--sort") {
            const std::string &v = value();
            if (v == "frequency")
                o.sort = SortOrder::Frequency;
            else if (v == "alpha")
                o.sort = SortOrder::Alpha;
            else if (v == "length")
                o.sort = SortOrder::Length;
            else
                throw UsageError{"--sort wants frequency, alpha or length, not \"" + v + "\""};
        } else if (a == "--length") {
            o.lengthRange = parseRange(a, value());
        } else if (a == "--frequency") {
            o.frequencyRange = parseRange(a, value());
        } else if (a == "--no-digits") {
            o.noDigits = true;
        } else if (a == "--counts") {
            o.counts = true;
        } else if (a == "--input-encoding") {
            const std::string &v = value();
            if (!ParseInputEncoding(v, o.encoding))
                throw UsageError{"--input-encoding wants auto, codepage, utf-8, utf-16le or utf-16be, not \"" +
                                 v + "\""};
        } else if (a == "--unmappable") {
            o.unmappable = value();
            if (o.unmappable.empty())
                throw UsageError{"--unmappable needs a file name"};
        } else if (a == "-o" || a == "--output") {
            o.output = value();
            haveOutput = true;
        } else {
            throw UsageError{"unknown option " + a};
        }
    }
    if (o.lengthRange && o.frequencyRange)
        throw UsageError{"--length and --frequency cannot be used together"};
    if (!haveOutput || o.output.empty())
        throw UsageError{"-o OUT is required"};
    if (o.files.empty())
        throw UsageError{"no files to scan"};
    return o;
}

int runDict(const std::vector<std::string> &args)
{
    DictOptions o;
    try {
        o = parseArgs(args);
    } catch (const UsageError &e) {
        std::cerr << "keyfolio-tool dict: " << e.message << "\n" << kUsage << "\n";
        return kExitUsage;
    }

    TDicBuilder builder;
    builder.SetInputEncoding(o.encoding);
    // A file that cannot be read ends the command before anything is written.
    const uint32_t ms = builder.MakeWordList(o.files, o.caseSensitive, o.delimiters);
    for (const std::string &file : builder.LastScanBinaryFiles())
        std::cerr << LooksBinaryMessage(file) << "\n";
    if (o.noDigits)
        builder.KickoutDigits();
    if (o.lengthRange)
        builder.FilterWordLength(o.lengthRange->first, o.lengthRange->second);
    else if (o.frequencyRange)
        builder.FilterFrequency(o.frequencyRange->first, o.frequencyRange->second);
    switch (o.sort) {
    case SortOrder::None:
        break;
    case SortOrder::Frequency:
        builder.SortByFrequency();
        break;
    case SortOrder::Alpha:
        builder.SortByAlpha();
        break;
    case SortOrder::Length:
        builder.SortByLen();
        break;
    }
    if (o.counts)
        builder.SaveFrequencyList(o.output);
    else
        builder.SaveWordlist(o.output);
    if (!o.unmappable.empty()) {
        std::string text;
        for (const auto &[word, count] : builder.TopUnmappableWords())
            text += word + '\t' + std::to_string(count) + "\r\n";
        writeFileBytes(o.unmappable, text);
    }
    std::cerr << builder.WordsScanned() << " words scanned, " << builder.UnmappableWords()
              << " not in the code page, " << builder.WordCount() << " words listed, " << ms << " ms\n";
    return kExitOk;
}

const ToolCommand registrar("dict", kUsage, runDict);

} // namespace

} // namespace kf::tool
