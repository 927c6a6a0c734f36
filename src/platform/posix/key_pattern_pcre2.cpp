// Posix: the key pattern compiled with PCRE2's 16-bit library, after the pattern is
// rewritten from the script engine's syntax. The compiled pattern, its match data and the
// limits belong to the one call that prepared them; nothing is kept between calls.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <memory>
#include <new>

#include "platform/hresult_from_exception.h"
#include "platform/key_pattern.h"
#include "platform/posix/script_regex_syntax.h"

namespace korvo {

namespace {

// Generous for keys, small enough that a pattern with catastrophic backtracking fails its
// test in well under a second instead of hanging the store's critical section.
constexpr uint32_t kMatchLimit = 2'000'000;
constexpr uint32_t kDepthLimit = 1'000'000;
constexpr uint32_t kHeapLimitKiB = 128 * 1024;

constexpr uint32_t kCompileOptions = PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_ALLOW_EMPTY_CLASS |
                                     PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C;

struct CodeFree {
    void operator()(pcre2_code* code) const noexcept { pcre2_code_free(code); }
};
struct MatchDataFree {
    void operator()(pcre2_match_data* data) const noexcept { pcre2_match_data_free(data); }
};
struct MatchContextFree {
    void operator()(pcre2_match_context* context) const noexcept { pcre2_match_context_free(context); }
};
struct CompileContextFree {
    void operator()(pcre2_compile_context* context) const noexcept { pcre2_compile_context_free(context); }
};

using Code = std::unique_ptr<pcre2_code, CodeFree>;
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataFree>;
using MatchContext = std::unique_ptr<pcre2_match_context, MatchContextFree>;
using CompileContext = std::unique_ptr<pcre2_compile_context, CompileContextFree>;

class Pcre2KeyPattern final : public KeyPattern {
public:
    // A null code is a pattern that could not be compiled: every test of it fails.
    Pcre2KeyPattern(Code code, MatchData matchData, MatchContext matchContext) noexcept
        : code_(std::move(code)), matchData_(std::move(matchData)), matchContext_(std::move(matchContext))
    {}

    KeyTestResult Test(PatternText key) noexcept override
    {
        if (!code_) {
            return KeyTestResult::Failed;
        }
        static const PCRE2_UCHAR16 kEmpty[1] = {0};
        const auto subject = key.empty() ? kEmpty : reinterpret_cast<PCRE2_SPTR16>(key.data());
        const int found = pcre2_match(code_.get(), subject, key.size(), 0, 0, matchData_.get(), matchContext_.get());
        if (found >= 0) {
            return KeyTestResult::Match;
        }
        if (found == PCRE2_ERROR_NOMATCH) {
            return KeyTestResult::NoMatch;
        }
        return KeyTestResult::Failed; // a hit limit or an internal error
    }

private:
    Code code_;
    MatchData matchData_;
    MatchContext matchContext_;
};

Code Compile(PatternText pattern)
{
    const auto translated = posix::TranslateScriptRegex(
        std::u16string_view(reinterpret_cast<const char16_t*>(pattern.data()), pattern.size()));
    if (!translated) {
        return nullptr;
    }
    CompileContext context(pcre2_compile_context_create(nullptr));
    if (!context) {
        throw std::bad_alloc();
    }
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_ANYCRLF);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    static const PCRE2_UCHAR16 kEmpty[1] = {0};
    const auto text = translated->empty() ? kEmpty : reinterpret_cast<PCRE2_SPTR16>(translated->data());
    Code code(pcre2_compile(text, translated->size(), kCompileOptions, &error, &errorOffset, context.get()));
    if (!code && error == PCRE2_ERROR_HEAP_FAILED) {
        throw std::bad_alloc();
    }
    return code;
}

} // namespace

HRESULT PrepareKeyPattern(PatternText pattern, std::unique_ptr<KeyPattern>& out) noexcept
{
    out.reset();
    if (KeyPatternUnavailableForTesting()) {
        return REGDB_E_CLASSNOTREG;
    }
    const auto body = [&]() -> HRESULT {
        Code code = Compile(pattern.substr(0, pattern.find(OLECHAR(0))));
        MatchData matchData;
        if (code) {
            matchData.reset(pcre2_match_data_create_from_pattern(code.get(), nullptr));
            if (!matchData) {
                return E_OUTOFMEMORY;
            }
        }
        MatchContext matchContext(pcre2_match_context_create(nullptr));
        if (!matchContext) {
            return E_OUTOFMEMORY;
        }
        pcre2_set_match_limit(matchContext.get(), kMatchLimit);
        pcre2_set_depth_limit(matchContext.get(), kDepthLimit);
        pcre2_set_heap_limit(matchContext.get(), kHeapLimitKiB);
        out = std::make_unique<Pcre2KeyPattern>(std::move(code), std::move(matchData), std::move(matchContext));
        return S_OK;
    };
    return CallReturningHresult(body, E_OUTOFMEMORY);
}

} // namespace korvo
