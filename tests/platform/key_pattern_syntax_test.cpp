// The pattern engine against the script engine's regular-expression syntax: what matches,
// what does not, what is refused, and a pattern that would backtrack without end.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/key_pattern.h"

namespace korvo::testing {
namespace {

#if defined(_WIN32)
// The component is a COM class: the tests' thread is a single-threaded apartment, as a
// script host's is.
class ApartmentEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};
[[maybe_unused]] ::testing::Environment* const apartment = ::testing::AddGlobalTestEnvironment(
    new ApartmentEnvironment);
#endif

struct SyntaxCase {
    std::u16string pattern;
    std::u16string key;
    KeyTestResult expected;
};

std::string Printable(const std::u16string& text)
{
    return std::string(text.begin(), text.end());
}

void PrintTo(const SyntaxCase& c, std::ostream* out)
{
    *out << "/" << Printable(c.pattern) << "/ on \"" << Printable(c.key) << "\"";
}

KeyTestResult TestKey(const std::u16string& pattern, const std::u16string& key)
{
    std::unique_ptr<KeyPattern> prepared;
    const auto* text = reinterpret_cast<const OLECHAR*>(pattern.data());
    EXPECT_EQ(PrepareKeyPattern(PatternText(text, pattern.size()), prepared), S_OK);
    if (!prepared) {
        return KeyTestResult::Failed;
    }
    return prepared->Test(PatternText(reinterpret_cast<const OLECHAR*>(key.data()), key.size()));
}

class CommonSyntax : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(CommonSyntax, Answers)
{
    EXPECT_EQ(TestKey(GetParam().pattern, GetParam().key), GetParam().expected);
}

constexpr auto M = KeyTestResult::Match;
constexpr auto N = KeyTestResult::NoMatch;
constexpr auto F = KeyTestResult::Failed;

// Cases every engine standing in for the component answers alike.
INSTANTIATE_TEST_SUITE_P(
    Basics, CommonSyntax,
    ::testing::Values(SyntaxCase{u"^a", u"abc", M}, SyntaxCase{u"^a", u"Abc", N}, SyntaxCase{u"a", u"bab", M},
                      SyntaxCase{u"c$", u"abc", M}, SyntaxCase{u"c$", u"cab", N}, SyntaxCase{u"^$", u"", M},
                      SyntaxCase{u"a|b", u"xb", M}, SyntaxCase{u"\\d{2,3}", u"x12", M}, SyntaxCase{u"(a)\\1", u"aa", M},
                      SyntaxCase{u"a(?=b)", u"ab", M}, SyntaxCase{u"a(?!b)", u"ab", N},
                      SyntaxCase{u"(?:ab)+$", u"abab", M}, SyntaxCase{u"[a-c]x", u"bx", M},
                      SyntaxCase{u"\\u0041", u"A", M}, SyntaxCase{u"\\x41", u"A", M}, SyntaxCase{u"\\bb", u"a b", M},
                      SyntaxCase{u"(", u"(", F}, SyntaxCase{u"a)", u"a", F}, SyntaxCase{u"[z-a]", u"a", F},
                      SyntaxCase{u"*", u"a", F}, SyntaxCase{u"a{2,1}", u"aa", F}));

#if !defined(_WIN32)
class ScriptSyntax : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(ScriptSyntax, Answers)
{
    EXPECT_EQ(TestKey(GetParam().pattern, GetParam().key), GetParam().expected);
}

// Where PCRE2 on its own would answer otherwise than the script engine.
INSTANTIATE_TEST_SUITE_P(
    Adapted, ScriptSyntax,
    ::testing::Values(SyntaxCase{u"\\cJ", u"\n", M}, SyntaxCase{u"\\d", u"\u0663", N}, SyntaxCase{u"\\w", u"\u00E9", N},
                      SyntaxCase{u"abc$", u"abc\n", N}, SyntaxCase{u"\\1(a)", u"a", M},
                      SyntaxCase{u"(a)?b\\1", u"b", M}, SyntaxCase{u"a[]", u"a", N}, SyntaxCase{u"a[^]", u"a\n", M},
                      SyntaxCase{u"\\k", u"k", M}, SyntaxCase{u"\\e\\a", u"ea", M}, SyntaxCase{u".", u"\u2028", N},
                      SyntaxCase{u".", u"\r", N}, SyntaxCase{u".", u"\n", N}, SyntaxCase{u"a.c", u"abc", M},
                      SyntaxCase{u"[.]", u"x", N}, SyntaxCase{u"\\v", u"\v", M}, SyntaxCase{u"\\v", u"\n", N},
                      SyntaxCase{u"[[:digit:]]", u"5", N}, SyntaxCase{u"[[:digit:]]", u":]", M},
                      SyntaxCase{u"a{,2}", u"a{,2}", M}, SyntaxCase{u"x{", u"x{", M}, SyntaxCase{u"a+?", u"aa", M},
                      SyntaxCase{u"(?<=a)b", u"ab", F}, SyntaxCase{u"(?i)a", u"A", F}, SyntaxCase{u"(?>a)", u"a", F},
                      SyntaxCase{u"(?<n>a)", u"a", F}, SyntaxCase{u"a++", u"aa", F}, SyntaxCase{u"a{1}+", u"a", F},
                      SyntaxCase{u"a*?+", u"a", F}, SyntaxCase{u"(*ACCEPT)a", u"a", F}, SyntaxCase{u"\\Aa", u"a", F},
                      SyntaxCase{u"a\\z", u"a", F}, SyntaxCase{u"\\Qa\\E", u"a", F}, SyntaxCase{u"\\p{L}", u"a", F},
                      SyntaxCase{u"[\\p{L}]", u"a", F}, SyntaxCase{u"\\R", u"\n", F}, SyntaxCase{u"\\h", u" ", F},
                      SyntaxCase{u"\\N", u"a", F}, SyntaxCase{u"\\g1", u"a", F}, SyntaxCase{u"\\K", u"a", F},
                      SyntaxCase{u"a\\", u"a", F}, SyntaxCase{u"\\C", u"C", M}, SyntaxCase{u"\\L", u"L", M},
                      SyntaxCase{u"\\ud800", u"\xD800", M}));
#endif

TEST(KeyPatternLimits, CatastrophicBacktrackingFailsTheTestInsteadOfHanging)
{
#if defined(_WIN32)
    GTEST_SKIP() << "the platform's component has no backtracking limit";
#else
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TestKey(u"^(a+)+$", std::u16string(40, u'a') + u"!"), KeyTestResult::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
#endif
}

TEST(KeyPatternLimits, LongKeysStillMatch)
{
    const std::u16string key = std::u16string(100000, u'a') + u"b";
    EXPECT_EQ(TestKey(u"a*b$", key), KeyTestResult::Match);
    EXPECT_EQ(TestKey(u"^(a)*b", key), KeyTestResult::Match);
}

} // namespace
} // namespace korvo::testing
