// Length-counted strings: where a copy ends, what the length counts, and the null string.
#include "automation_test_text.h"
#include "platform/platform.h"
#include "platform/unique_bstr.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using korvo::UniqueBstr;
using korvo::test::Narrow;

const OLECHAR kWithNul[] = {'a', 'b', 0, 'c', 'd', 0};

TEST(AutomationBstr, SysAllocStringStopsAtTheFirstNul)
{
    UniqueBstr s(SysAllocString(kWithNul));
    ASSERT_TRUE(s);
    EXPECT_EQ(SysStringLen(s.get()), 2u);
    EXPECT_EQ(Narrow(s.get()), "ab");
    EXPECT_EQ(s.get()[2], 0);
}

TEST(AutomationBstr, SysAllocStringLenCopiesEmbeddedNuls)
{
    struct Case {
        UINT length;
        std::string expected;
    };
    const Case cases[] = {{0, ""}, {1, "a"}, {3, std::string("ab\0", 3)}, {5, std::string("ab\0cd", 5)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        UniqueBstr s(SysAllocStringLen(kWithNul, c.length));
        ASSERT_TRUE(s);
        EXPECT_EQ(SysStringLen(s.get()), c.length);
        EXPECT_EQ(SysStringByteLen(s.get()), c.length * sizeof(OLECHAR));
        EXPECT_EQ(Narrow(s.get()), c.expected);
        EXPECT_EQ(s.get()[c.length], 0) << "terminator after the counted code units";
    }
}

TEST(AutomationBstr, SysAllocStringLenWithoutSourceIsTerminatedAndWritable)
{
    UniqueBstr s(SysAllocStringLen(nullptr, 4));
    ASSERT_TRUE(s);
    EXPECT_EQ(SysStringLen(s.get()), 4u);
    EXPECT_EQ(s.get()[4], 0);
    for (int i = 0; i < 4; ++i) {
        s.get()[i] = static_cast<OLECHAR>('w' + i);
    }
    EXPECT_EQ(Narrow(s.get()), "wxyz");
}

TEST(AutomationBstr, TheByteCountSitsInFrontOfTheText)
{
    UniqueBstr s(SysAllocStringLen(kWithNul, 5));
    ASSERT_TRUE(s);
    UINT prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const unsigned char*>(s.get()) - sizeof prefix, sizeof prefix);
    EXPECT_EQ(prefix, 5 * sizeof(OLECHAR));
}

TEST(AutomationBstr, NullIsTheEmptyString)
{
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);

    UniqueBstr empty(SysAllocString(OLESTR("")));
    ASSERT_TRUE(empty) << "an empty string is not null";
    EXPECT_EQ(empty.Length(), 0u);
}

TEST(AutomationBstr, ByteLengthStringsKeepAnOddByteCount)
{
    UniqueBstr s(SysAllocStringByteLen("abc", 3));
    ASSERT_TRUE(s);
    EXPECT_EQ(SysStringByteLen(s.get()), 3u);
    EXPECT_EQ(SysStringLen(s.get()), 1u);
}

TEST(AutomationBstr, UniqueBstrPutFreesTheOldStringAndReleaseHandsItOver)
{
    UniqueBstr s = UniqueBstr::CopyOf(kWithNul, 5);
    ASSERT_EQ(s.Length(), 5u);
    *s.put() = SysAllocString(OLESTR("xy"));
    EXPECT_EQ(Narrow(s.get()), "xy");
    BSTR raw = s.release();
    EXPECT_FALSE(s);
    EXPECT_EQ(s.Length(), 0u);
    UniqueBstr moved(raw);
    UniqueBstr target = std::move(moved);
    EXPECT_EQ(Narrow(target.get()), "xy");
    EXPECT_FALSE(moved);
    EXPECT_EQ(UniqueBstr::CopyUpToNul(kWithNul).Length(), 2u);
}

} // namespace
