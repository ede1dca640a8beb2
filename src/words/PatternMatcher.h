#pragma once
// The course generator's regular-expression matcher: compiles patterns of the
// pattern dialect (see PatternDialect) with PCRE2 and JIT, keeps every pattern
// it compiled until ClearCache, and finds the leftmost match in a subject.
// Compiled patterns may be run by several threads at once, each with its own
// MatchState; compiling and the matcher's own state belong to one thread.

#include "common/CodePage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kf {

class PatternMatcher {
public:
    // One compiled pattern; owned by the matcher's cache.
    class Compiled;

    // What a subject must hold for a pattern to match anywhere in it, from
    // what PCRE2 learnt when compiling: one of the bytes a match can begin
    // with, and the byte every match holds beyond its start (in either case).
    // A subject without them cannot match, so the pattern need not be run.
    struct Needs {
        uint64_t first[4];
        uint64_t required[4];
        // No match is shorter.
        size_t minLength;
        // present: bit b of the 256 is set when the subject holds byte b.
        bool metBy(const uint64_t present[4]) const { return metBy(present, present); }
        // The same when a match may only begin with a byte of heads.
        bool metBy(const uint64_t heads[4], const uint64_t present[4]) const
        {
            return ((first[0] & heads[0]) | (first[1] & heads[1]) | (first[2] & heads[2]) |
                    (first[3] & heads[3])) != 0 &&
                   ((required[0] & present[0]) | (required[1] & present[1]) | (required[2] & present[2]) |
                    (required[3] & present[3])) != 0;
        }
    };
    static const Needs &NeedsOf(const Compiled &pattern);

    // What one thread needs to run compiled patterns: PCRE2 match data, match
    // context and JIT stack, with the matcher's match limit.
    class MatchState {
    public:
        MatchState();
        ~MatchState();
        MatchState(const MatchState &) = delete;
        MatchState &operator=(const MatchState &) = delete;

    private:
        friend class PatternMatcher;
        struct Data;
        std::unique_ptr<Data> d;
    };

    PatternMatcher();
    ~PatternMatcher();
    PatternMatcher(const PatternMatcher &) = delete;
    PatternMatcher &operator=(const PatternMatcher &) = delete;

    // The compiled form of a pattern, compiled on first use with the code page
    // that was in force at the last ClearCache (or construction). Throws ERegExError when the pattern is invalid (every time it
    // is asked for).
    const Compiled &Compile(std::string_view pattern);

    // Makes a pattern the current one (Compile + select).
    void SetPattern(std::string_view pattern);
    const std::string &Pattern() const { return m_pattern; }

    // Leftmost match of a pattern (or the current one) in subject: true and the
    // match's offset and length, or false. Throws ERegExError when the engine
    // fails (match limit, JIT stack).
    bool Exec(const Compiled &pattern, std::string_view subject, size_t &start, size_t &length);
    bool Exec(std::string_view subject, size_t &start, size_t &length);
    // Exec with a thread's own match state (the matcher is not touched); the
    // leftmost match that starts at lastStart at the latest.
    static bool Exec(const Compiled &pattern, std::string_view subject, size_t &start, size_t &length,
                     MatchState &state, size_t lastStart = SIZE_MAX);

    // Forgets every compiled pattern and takes the code page in force anew.
    void ClearCache();
    // The code page patterns are compiled for.
    const CodePage &PatternCodePage() const { return *m_codePage; }
    size_t CacheSize() const { return m_cache.size(); }
    // Counts the calls of ClearCache: a Compiled taken before a change of
    // this number is gone.
    uint64_t CacheGeneration() const { return m_cacheGeneration; }

    // The PCRE2 pattern a compiled pattern was made from (for diagnostics).
    static const std::string &Translation(const Compiled &pattern);

    // Upper bound on backtracking steps for one match before it counts as failed.
    static constexpr uint32_t kMatchLimit = 20'000'000;

private:
    void buildTables();
    void learnNeeds(Compiled &pattern) const;

    struct Engine;
    std::unique_ptr<Engine> m_engine;
    const CodePage *m_codePage = nullptr; // in force at the last ClearCache; never freed
    std::unordered_map<std::string, std::unique_ptr<Compiled>> m_cache;
    const Compiled *m_current = nullptr;
    uint64_t m_cacheGeneration = 0;
    std::string m_pattern;
};

} // namespace kf
