#include "words/PatternMatcher.h"
#include "common/Errors.h"
#include "words/PatternDialect.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstring>

namespace kf {

class PatternMatcher::Compiled {
public:
    ~Compiled()
    {
        if (code)
            pcre2_code_free(code);
    }
    pcre2_code *code = nullptr;
    bool jit = false;
    Needs needs{{~0ull, ~0ull, ~0ull, ~0ull}, {~0ull, ~0ull, ~0ull, ~0ull}, 0};
    std::string translation;
    std::string error; // not empty: the pattern is invalid
};

struct PatternMatcher::MatchState::Data {
    ~Data()
    {
        if (matchData)
            pcre2_match_data_free(matchData);
        if (matchContext)
            pcre2_match_context_free(matchContext);
        if (jitStack)
            pcre2_jit_stack_free(jitStack);
    }
    pcre2_match_context *matchContext = nullptr;
    pcre2_jit_stack *jitStack = nullptr;
    pcre2_match_data *matchData = nullptr;
};

PatternMatcher::MatchState::MatchState() : d(std::make_unique<Data>())
{
    d->matchContext = pcre2_match_context_create(nullptr);
    d->jitStack = pcre2_jit_stack_create(32 * 1024, 4 * 1024 * 1024, nullptr);
    d->matchData = pcre2_match_data_create(1, nullptr);
    if (!d->matchContext || !d->jitStack || !d->matchData)
        throw std::bad_alloc();
    pcre2_set_match_limit(d->matchContext, kMatchLimit);
    pcre2_jit_stack_assign(d->matchContext, nullptr, d->jitStack);
}

PatternMatcher::MatchState::~MatchState() = default;

struct PatternMatcher::Engine {
    ~Engine()
    {
        if (compileContext)
            pcre2_compile_context_free(compileContext);
    }
    // PCRE2's character tables with the lower-case and case-flip tables of the
    // code page, so that case-insensitive back references fold as the code page
    // does. Kept alive as long as any pattern compiled with them.
    std::vector<uint8_t> tables;
    pcre2_compile_context *compileContext = nullptr;
    MatchState state; // for the matcher's own Exec
};

PatternMatcher::PatternMatcher() : m_engine(std::make_unique<Engine>())
{
    m_engine->compileContext = pcre2_compile_context_create(nullptr);
    if (!m_engine->compileContext)
        throw std::bad_alloc();
    buildTables();
}

PatternMatcher::~PatternMatcher()
{
    // Patterns go before the tables they were compiled with.
    m_cache.clear();
}

void PatternMatcher::buildTables()
{
    const CodePage &cp = CodePage::current();
    m_codePage = &cp;
    uint32_t length = 0;
    pcre2_config(PCRE2_CONFIG_TABLES_LENGTH, &length);
    const uint8_t *made = pcre2_maketables(nullptr);
    if (!made || length < 512)
        throw std::bad_alloc();
    std::vector<uint8_t> tables(made, made + length);
    pcre2_maketables_free(nullptr, made);
    // The first 256 bytes map to lower case, the next 256 to the other case.
    for (int b = 0; b < 256; ++b) {
        const uint8_t lo = cp.lower(uint8_t(b));
        tables[size_t(b)] = lo;
        tables[size_t(256 + b)] = lo != b ? lo : cp.upper(uint8_t(b));
    }
    m_engine->tables = std::move(tables);
    pcre2_set_character_tables(m_engine->compileContext, m_engine->tables.data());
}

void PatternMatcher::ClearCache()
{
    m_current = nullptr;
    m_pattern.clear();
    m_cache.clear();
    ++m_cacheGeneration;
    buildTables();
}

void PatternMatcher::learnNeeds(Compiled &c) const
{
    const std::vector<uint8_t> &tables = m_engine->tables;
    // A byte in either case, as the tables the pattern was compiled with fold it.
    auto eitherCase = [&](uint32_t unit, uint64_t *set) {
        for (int i = 0; i < 4; ++i)
            set[i] = 0;
        for (const uint32_t b : {unit, uint32_t(tables[unit & 0xFF]), uint32_t(tables[256 + (unit & 0xFF)])})
            set[(b & 0xFF) / 64] |= uint64_t(1) << (b % 64);
    };
    uint32_t type = 0, unit = 0;
    const uint8_t *bitmap = nullptr;
    if (pcre2_pattern_info(c.code, PCRE2_INFO_FIRSTCODETYPE, &type) == 0 && type == 1 &&
        pcre2_pattern_info(c.code, PCRE2_INFO_FIRSTCODEUNIT, &unit) == 0 && unit < 256) {
        eitherCase(unit, c.needs.first);
    } else if (pcre2_pattern_info(c.code, PCRE2_INFO_FIRSTBITMAP, &bitmap) == 0 && bitmap) {
        for (int i = 0; i < 4; ++i) {
            uint64_t bits = 0;
            for (int j = 0; j < 8; ++j)
                bits |= uint64_t(bitmap[i * 8 + j]) << (8 * j); // bit b%8 of byte b/8 stands for byte b
            c.needs.first[i] = bits;
        }
    }
    uint32_t minLength = 0;
    if (pcre2_pattern_info(c.code, PCRE2_INFO_MINLENGTH, &minLength) == 0)
        c.needs.minLength = minLength;
    if (pcre2_pattern_info(c.code, PCRE2_INFO_LASTCODETYPE, &type) == 0 && type == 1 &&
        pcre2_pattern_info(c.code, PCRE2_INFO_LASTCODEUNIT, &unit) == 0 && unit < 256)
        eitherCase(unit, c.needs.required);
}

const PatternMatcher::Needs &PatternMatcher::NeedsOf(const Compiled &pattern)
{
    return pattern.needs;
}

const PatternMatcher::Compiled &PatternMatcher::Compile(std::string_view pattern)
{
    auto it = m_cache.find(std::string(pattern));
    if (it == m_cache.end()) {
        auto c = std::make_unique<Compiled>();
        try {
            c->translation = PatternDialect::toPcre2(pattern, *m_codePage);
            int errorCode = 0;
            PCRE2_SIZE errorOffset = 0;
            c->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(c->translation.data()),
                                    c->translation.size(), PCRE2_DOTALL | PCRE2_USE_OFFSET_LIMIT, &errorCode, &errorOffset,
                                    m_engine->compileContext);
            if (!c->code) {
                PCRE2_UCHAR message[256];
                pcre2_get_error_message(errorCode, message, sizeof message);
                c->error = reinterpret_cast<const char *>(message);
            } else {
                c->jit = pcre2_jit_compile(c->code, PCRE2_JIT_COMPLETE) == 0;
                learnNeeds(*c);
            }
        } catch (const ERegExError &e) {
            c->error = e.what();
        }
        it = m_cache.emplace(std::string(pattern), std::move(c)).first;
    }
    if (!it->second->error.empty())
        throw ERegExError(it->second->error);
    return *it->second;
}

void PatternMatcher::SetPattern(std::string_view pattern)
{
    if (m_current && pattern == m_pattern)
        return;
    m_current = nullptr;
    m_pattern.assign(pattern);
    m_current = &Compile(pattern);
}

bool PatternMatcher::Exec(const Compiled &pattern, std::string_view subject, size_t &start,
                          size_t &length)
{
    return Exec(pattern, subject, start, length, m_engine->state);
}

bool PatternMatcher::Exec(const Compiled &pattern, std::string_view subject, size_t &start, size_t &length,
                          MatchState &state, size_t lastStart)
{
    MatchState::Data &d = *state.d;
    // SIZE_MAX is PCRE2_UNSET: no limit.
    pcre2_set_offset_limit(d.matchContext, lastStart);
    const auto *s = reinterpret_cast<PCRE2_SPTR>(subject.data());
    const int rc = pattern.jit
        ? pcre2_jit_match(pattern.code, s, subject.size(), 0, 0, d.matchData, d.matchContext)
        : pcre2_match(pattern.code, s, subject.size(), 0, 0, d.matchData, d.matchContext);
    if (rc == PCRE2_ERROR_NOMATCH)
        return false;
    if (rc < 0) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(rc, message, sizeof message);
        throw ERegExError(reinterpret_cast<const char *>(message));
    }
    const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(d.matchData);
    start = ov[0];
    length = ov[1] - ov[0];
    return true;
}

bool PatternMatcher::Exec(std::string_view subject, size_t &start, size_t &length)
{
    if (!m_current)
        throw ERegExError("no pattern set");
    return Exec(*m_current, subject, start, length);
}

const std::string &PatternMatcher::Translation(const Compiled &pattern)
{
    return pattern.translation;
}

} // namespace kf
