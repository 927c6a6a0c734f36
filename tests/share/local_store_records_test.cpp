// A batch of Load's records on the local store. The values that need a variant copy are
// copied before the store's section is taken, so the refusals and copy failures are told
// apart inside it, record by record: the thread's error record must still say the last of
// them, a refusal winning over its own record's failed copy.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "automation_values.h"
#include "persist/records.h"
#include "share/local_store.h"

namespace korvo::testing {
namespace {

constexpr const char16_t* kKeyExists = u"This key is already in collection.";
constexpr const char16_t* kBadType =
    u"The source and destination have an invalid variant type (usually uninitialized).";

// A record of `key`; VT_VOID, which a file can hold, is a value the variant copy refuses.
struct RecordPlan {
    const char16_t* key;
    VARTYPE type;
};

struct RecordsCase {
    const char* name;
    bool uniqueKeys;
    std::vector<RecordPlan> records; // onto a store that holds "a" once
    std::vector<std::pair<const char16_t*, LONG>> counts;
    const char16_t* message; // the error record afterwards; null for none
};

void PrintTo(const RecordsCase& c, std::ostream* out)
{
    *out << c.name;
}

KeyView Key(const char16_t* text)
{
    return KeyView(reinterpret_cast<const OLECHAR*>(text), std::char_traits<char16_t>::length(text));
}

std::vector<persist::Record> MakeRecords(const std::vector<RecordPlan>& plans)
{
    std::vector<persist::Record> records(plans.size());
    for (std::size_t i = 0; i < plans.size(); ++i) {
        records[i].key = Key(plans[i].key);
        V_VT(records[i].value.get()) = plans[i].type; // VT_UNKNOWN: Nothing
        if (plans[i].type == VT_I4) {
            V_I4(records[i].value.get()) = static_cast<LONG>(i);
        }
    }
    return records;
}

class LocalStoreRecords : public ::testing::TestWithParam<RecordsCase> {};

TEST_P(LocalStoreRecords, EachRecordByAddsRulesAndTheLastFaultIsReported)
{
    const RecordsCase& c = GetParam();
    LocalStore store;
    ASSERT_EQ(store.Add(Key(u"a"), Var(1).ref(), true), S_OK);
    ClearErrorRecord();

    std::vector<persist::Record> records = MakeRecords(c.records);
    EXPECT_EQ(store.AddRecords(records, c.uniqueKeys), S_OK);

    for (const auto& [key, expected] : c.counts) {
        LONG count = -1;
        ASSERT_EQ(store.Count(Key(key), count), S_OK);
        const std::u16string text(key);
        EXPECT_EQ(count, expected) << "key " << std::string(text.begin(), text.end());
    }
    const ErrorRecord record = TakeErrorRecord();
    EXPECT_EQ(record.present, c.message != nullptr);
    if (c.message != nullptr) {
        EXPECT_EQ(record.description, c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Load, LocalStoreRecords,
    ::testing::Values(
        RecordsCase{"NoFault", true, {{u"b", VT_I4}, {u"n", VT_UNKNOWN}}, {{u"b", 1}, {u"n", 1}}, nullptr},
        RecordsCase{"CopyFailureAfterARefusal",
                    true,
                    {{u"a", VT_I4}, {u"v", VT_VOID}, {u"b", VT_I4}},
                    {{u"a", 1}, {u"v", 0}, {u"b", 1}},
                    kBadType},
        RecordsCase{
            "RefusalAfterACopyFailure", true, {{u"v", VT_VOID}, {u"a", VT_I4}}, {{u"a", 1}, {u"v", 0}}, kKeyExists},
        RecordsCase{
            "RefusalBeforeACopyMade", true, {{u"a", VT_I4}, {u"n", VT_UNKNOWN}}, {{u"a", 1}, {u"n", 1}}, kKeyExists},
        RecordsCase{"RefusalOfARecordWhoseCopyFailed", true, {{u"a", VT_VOID}}, {{u"a", 1}}, kKeyExists},
        RecordsCase{"CopyFailureWithSeveralItemsPerKey",
                    false,
                    {{u"a", VT_VOID}, {u"a", VT_UNKNOWN}, {u"a", VT_I4}},
                    {{u"a", 3}},
                    kBadType},
        RecordsCase{"KeysOfTheBatchRefuseLaterRecords",
                    true,
                    {{u"b", VT_UNKNOWN}, {u"b", VT_VOID}, {u"b", VT_I4}},
                    {{u"b", 1}},
                    kKeyExists}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace korvo::testing
