// RecordBuffer handing its bytes on: only to a sink, only inside a Spilling scope, in order,
// in blocks of bounded size, with nothing lost or repeated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>
#include <span>
#include <vector>

#include "persist/record_buffer.h"

namespace korvo::testing {
namespace {

using persist::ByteSink;
using persist::RecordBuffer;

class CollectingSink final : public ByteSink {
public:
    void Write(std::span<const std::byte> bytes) noexcept override
    {
        written.insert(written.end(), bytes.begin(), bytes.end());
        largestWrite = std::max(largestWrite, bytes.size());
        ++writes;
    }

    std::vector<std::byte> written;
    std::size_t largestWrite = 0;
    int writes = 0;
};

// Records of `size` bytes each, every byte telling its record and place apart.
std::vector<std::byte> Fill(RecordBuffer& buffer, std::size_t records, std::size_t size)
{
    std::vector<std::byte> expected;
    std::vector<std::byte> record(size);
    for (std::size_t r = 0; r < records; ++r) {
        for (std::size_t i = 0; i < size; ++i) {
            record[i] = static_cast<std::byte>((r * 131 + i) & 0xff);
        }
        buffer.Write(record.data(), record.size());
        expected.insert(expected.end(), record.begin(), record.end());
    }
    return expected;
}

std::vector<std::byte> Everything(const CollectingSink& sink, const RecordBuffer& buffer)
{
    std::vector<std::byte> all = sink.written;
    all.insert(all.end(), buffer.Bytes().begin(), buffer.Bytes().end());
    return all;
}

struct SpillCase {
    const char* name;
    bool withSink;
    bool inScope;
    std::size_t records;
    std::size_t recordSize;
    bool expectSpill;
};

class Spilling : public ::testing::TestWithParam<SpillCase> {};

TEST_P(Spilling, HandsOnEveryByteOnceAndInOrder)
{
    const SpillCase& c = GetParam();
    CollectingSink sink;
    RecordBuffer buffer;
    const std::byte magic[4] = {std::byte{'K'}, std::byte{'V'}, std::byte{0}, std::byte{1}};
    buffer.Write(magic, sizeof magic);
    if (c.withSink) {
        buffer.SpillTo(sink);
    }
    std::vector<std::byte> expected(std::begin(magic), std::end(magic));
    {
        std::optional<RecordBuffer::Spilling> scope;
        if (c.inScope) {
            scope.emplace(buffer);
        }
        buffer.Reserve(c.records * c.recordSize);
        const auto records = Fill(buffer, c.records, c.recordSize);
        expected.insert(expected.end(), records.begin(), records.end());
    }
    // Outside the scope nothing more is handed on, however much is written.
    const int writesInScope = sink.writes;
    const auto tail = Fill(buffer, 20000, 40);
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(sink.writes, writesInScope);

    EXPECT_EQ(buffer.Status(), S_OK);
    EXPECT_EQ(Everything(sink, buffer), expected);
    EXPECT_EQ(writesInScope > 0, c.expectSpill);
    if (c.expectSpill) {
        // One block holds at most a spill block and one record more.
        EXPECT_LE(sink.largestWrite, 256 * 1024 + c.recordSize);
        EXPECT_LT(buffer.Bytes().size(), expected.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Spilling,
                         ::testing::Values(SpillCase{"SmallRecordsSpillInBlocks", true, true, 100000, 33, true},
                                           SpillCase{"ARecordLargerThanABlock", true, true, 3, 700 * 1024, true},
                                           SpillCase{"LessThanABlockStaysInMemory", true, true, 100, 33, false},
                                           SpillCase{"NoScopeNoSpill", true, false, 100000, 33, false},
                                           SpillCase{"NoSinkNoSpill", false, true, 100000, 33, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A scope opened inside another keeps spilling on until the outer one ends.
TEST(RecordBufferSpilling, NestedScopesRestoreTheOuterOne)
{
    CollectingSink sink;
    RecordBuffer buffer;
    buffer.SpillTo(sink);
    RecordBuffer::Spilling outer(buffer);
    {
        RecordBuffer::Spilling inner(buffer);
    }
    Fill(buffer, 100000, 33);
    EXPECT_GT(sink.writes, 0);
}

} // namespace
} // namespace korvo::testing
