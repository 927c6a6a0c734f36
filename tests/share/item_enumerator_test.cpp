// The snapshot enumerator: its walks over the snapshot as one table of scripted cases, and
// the ownership of what it hands out and holds.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "counting_object.h"
#include "member_calls.h"
#include "members/enumeration.h"
#include "platform/com_ptr.h"
#include "platform/module_lock.h"
#include "share/item_enumerator.h"

namespace korvo {
namespace {

using namespace testing;

ComPtr<IEnumVARIANT> NewEnumOk(ObjectState& object)
{
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(members::NewEnum(object, unknown.put()), S_OK);
    ComPtr<IEnumVARIANT> enumerator;
    if (unknown) {
        EXPECT_EQ(unknown.As(IID_IEnumVARIANT, enumerator), S_OK);
    }
    return enumerator;
}

// --- Walks over the snapshot -----------------------------------------------------------

enum class Action {
    Next, // slot: Next(count) expecting `result` and exactly `values` fetched
    Skip, // slot: Skip(count) expecting `result`
    Reset, // slot: Reset
    Clone, // slot 1 becomes a clone of slot 0 (or slot 2 of slot 1 when count is 2)
    Release, // slot: released
    AddItem, // the store gains key "z" with item `count`
    RemoveKey, // the store loses key "a"
    EndObject, // the Dictionary object's state goes away with its store
};

struct Step {
    Action action;
    int slot = 0;
    ULONG count = 0;
    HRESULT result = S_OK;
    std::vector<LONG> values = {};
};

struct Walk {
    const char* name;
    std::vector<std::pair<std::u16string, LONG>> items;
    std::vector<Step> steps;
};

void PrintTo(const Walk& walk, std::ostream* out)
{
    *out << walk.name;
}

constexpr LONG kUntouched = -999;

class SnapshotWalk : public ::testing::TestWithParam<Walk> {};

// Next(count) into a row of marked variants; the marks beyond what was fetched must stay.
void CheckNext(IEnumVARIANT& enumerator, const Step& step)
{
    std::vector<VARIANT> row(std::max<ULONG>(step.count, 1) + 1);
    for (VARIANT& element : row) {
        VariantInit(&element);
        V_VT(&element) = VT_I4;
        V_I4(&element) = kUntouched;
    }
    ULONG fetched = 12345;
    EXPECT_EQ(enumerator.Next(step.count, row.data(), &fetched), step.result);
    ASSERT_EQ(fetched, step.values.size());
    for (std::size_t index = 0; index < row.size(); ++index) {
        ASSERT_EQ(V_VT(&row[index]), VT_I4) << "element " << index;
        const LONG expected = index < fetched ? step.values[index] : kUntouched;
        EXPECT_EQ(V_I4(&row[index]), expected) << "element " << index;
        VariantClear(&row[index]);
    }
}

TEST_P(SnapshotWalk, YieldsTheSnapshot)
{
    const Walk& walk = GetParam();
    std::optional<ObjectState> object(std::in_place);
    object->SetUniqueKeys(VARIANT_FALSE);
    for (const auto& [key, value] : walk.items) {
        AddOk(*object, key, value);
    }
    std::array<ComPtr<IEnumVARIANT>, 3> slots;
    slots[0] = NewEnumOk(*object);
    ASSERT_TRUE(slots[0]);

    for (std::size_t number = 0; number < walk.steps.size(); ++number) {
        const Step& step = walk.steps[number];
        SCOPED_TRACE("step " + std::to_string(number));
        IEnumVARIANT* target = slots[static_cast<std::size_t>(step.slot)].get();
        switch (step.action) {
        case Action::Next:
            ASSERT_TRUE(target);
            CheckNext(*target, step);
            break;
        case Action::Skip:
            ASSERT_TRUE(target);
            EXPECT_EQ(target->Skip(step.count), step.result);
            break;
        case Action::Reset:
            ASSERT_TRUE(target);
            EXPECT_EQ(target->Reset(), S_OK);
            break;
        case Action::Clone: {
            const std::size_t to = step.count == 2 ? 2 : 1;
            ASSERT_TRUE(slots[to - 1]);
            EXPECT_EQ(slots[to - 1]->Clone(slots[to].put()), S_OK);
            ASSERT_TRUE(slots[to]);
            break;
        }
        case Action::Release:
            slots[static_cast<std::size_t>(step.slot)].reset();
            break;
        case Action::AddItem:
            AddOk(*object, u"z", static_cast<LONG>(step.count));
            break;
        case Action::RemoveKey:
            RemoveOk(*object, u"a");
            break;
        case Action::EndObject:
            object.reset();
            break;
        }
    }
}

const Walk kWalks[] = {
    {"ContainerOrder", {{u"a", 1}, {u"a", 2}, {u"b", 3}}, {{Action::Next, 0, 3, S_OK, {1, 2, 3}}}},
    {"ContainerOrderWhateverTheAddingOrder",
     {{u"b", 3}, {u"a", 1}, {u"a", 2}},
     {{Action::Next, 0, 3, S_OK, {1, 2, 3}}}},
    {"EmptyStore", {}, {{Action::Next, 0, 1, S_FALSE, {}}, {Action::Skip, 0, 0, S_OK}, {Action::Skip, 0, 1, S_FALSE}}},
    {"OneAtATimeThenTheEnd",
     {{u"a", 1}, {u"b", 2}},
     {{Action::Next, 0, 1, S_OK, {1}},
      {Action::Next, 0, 1, S_OK, {2}},
      {Action::Next, 0, 1, S_FALSE, {}},
      {Action::Next, 0, 1, S_FALSE, {}},
      {Action::Reset},
      {Action::Next, 0, 1, S_OK, {1}}}},
    {"PartialNext", {{u"a", 1}, {u"b", 2}}, {{Action::Next, 0, 3, S_FALSE, {1, 2}}}},
    {"NextOfNothing", {{u"a", 1}}, {{Action::Next, 0, 0, S_OK, {}}, {Action::Next, 0, 1, S_OK, {1}}}},
    {"SkipExactlyToTheEnd",
     {{u"a", 1}, {u"b", 2}, {u"c", 3}},
     {{Action::Next, 0, 1, S_OK, {1}}, {Action::Skip, 0, 2, S_OK}, {Action::Next, 0, 1, S_FALSE, {}}}},
    {"SkipPastTheEnd",
     {{u"a", 1}, {u"b", 2}},
     {{Action::Skip, 0, 5, S_FALSE},
      {Action::Next, 0, 1, S_FALSE, {}},
      {Action::Reset},
      {Action::Next, 0, 2, S_OK, {1, 2}}}},
    {"SkipTheLargestCount",
     {{u"a", 1}, {u"b", 2}},
     {{Action::Next, 0, 1, S_OK, {1}}, {Action::Skip, 0, 0xFFFFFFFF, S_FALSE}, {Action::Next, 0, 1, S_FALSE, {}}}},
    {"SkipZeroAnywhere",
     {{u"a", 1}},
     {{Action::Skip, 0, 0, S_OK},
      {Action::Skip, 0, 1, S_OK},
      {Action::Skip, 0, 0, S_OK},
      {Action::Skip, 0, 1, S_FALSE}}},
    {"CloneStartsAtTheSourcePositionAndMovesAlone",
     {{u"a", 1}, {u"b", 2}, {u"c", 3}},
     {{Action::Next, 0, 1, S_OK, {1}},
      {Action::Clone},
      {Action::Next, 1, 1, S_OK, {2}},
      {Action::Next, 1, 1, S_OK, {3}},
      {Action::Next, 0, 1, S_OK, {2}},
      {Action::Reset, 1},
      {Action::Next, 0, 1, S_OK, {3}},
      {Action::Next, 1, 3, S_OK, {1, 2, 3}}}},
    {"CloneOfACloneOutlivesBoth",
     {{u"a", 1}, {u"b", 2}},
     {{Action::Clone},
      {Action::Next, 1, 1, S_OK, {1}},
      {Action::Clone, 0, 2},
      {Action::Release, 0},
      {Action::Release, 1},
      {Action::Next, 2, 2, S_FALSE, {2}},
      {Action::Reset, 2},
      {Action::Next, 2, 2, S_OK, {1, 2}}}},
    {"SourceReleasedBeforeItsClone",
     {{u"a", 1}, {u"b", 2}},
     {{Action::Next, 0, 1, S_OK, {1}},
      {Action::Clone},
      {Action::Release, 0},
      {Action::Next, 1, 1, S_OK, {2}},
      {Action::Reset, 1},
      {Action::Next, 1, 2, S_OK, {1, 2}}}},
    {"LaterChangesDoNotReachTheSnapshot",
     {{u"a", 1}, {u"b", 2}},
     {{Action::AddItem, 0, 7}, {Action::RemoveKey}, {Action::Next, 0, 3, S_FALSE, {1, 2}}}},
    {"SnapshotOutlivesTheObject",
     {{u"a", 1}, {u"b", 2}},
     {{Action::Next, 0, 1, S_OK, {1}},
      {Action::RemoveKey},
      {Action::EndObject},
      {Action::Next, 0, 1, S_OK, {2}},
      {Action::Reset},
      {Action::Next, 0, 2, S_OK, {1, 2}}}},
};

INSTANTIATE_TEST_SUITE_P(ItemEnumerator, SnapshotWalk, ::testing::ValuesIn(kWalks),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Argument checks and interfaces ----------------------------------------------------

class ItemEnumeratorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AddOk(object_, u"a", 1);
        AddOk(object_, u"b", 2);
        enumerator_ = NewEnumOk(object_);
        ASSERT_TRUE(enumerator_);
    }

    ObjectState object_;
    ComPtr<IEnumVARIANT> enumerator_;
};

TEST_F(ItemEnumeratorTest, NextChecksItsPointers)
{
    VARIANT item;
    VariantInit(&item);
    ULONG fetched = 0;
    EXPECT_EQ(enumerator_->Next(1, nullptr, &fetched), E_POINTER);
    EXPECT_EQ(enumerator_->Next(0, &item, nullptr), E_POINTER);
    EXPECT_EQ(enumerator_->Next(2, &item, nullptr), E_POINTER);
    // One element needs no count.
    EXPECT_EQ(enumerator_->Next(1, &item, nullptr), S_OK);
    EXPECT_EQ(V_VT(&item), VT_I4);
    EXPECT_EQ(V_I4(&item), 1);
}

TEST_F(ItemEnumeratorTest, AnswersOnlyItsTwoInterfaces)
{
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(enumerator_->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(enumerator_.get()));

    void* other = &other;
    EXPECT_EQ(enumerator_->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(enumerator_->QueryInterface(IID_IEnumVARIANT, nullptr), E_POINTER);
    EXPECT_EQ(enumerator_->Clone(nullptr), E_POINTER);
}

TEST(NewEnum, NullResultIsReportedAfterAttaching)
{
    ObjectState object;
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(members::NewEnum(object, nullptr), E_INVALIDARG);
    ComPtr<IErrorInfo> record;
    ASSERT_EQ(GetErrorInfo(0, record.put()), S_OK);
    ASSERT_TRUE(record);
    BSTR description = nullptr;
    ASSERT_EQ(record->GetDescription(&description), S_OK);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(description)), u"Invalid input pointer.");
    SysFreeString(description);
}

// --- What the enumerator holds ---------------------------------------------------------

TEST(ItemEnumeratorOwnership, ObjectItemsAreSharedAndCountedExactly)
{
    CountingObject held;
    {
        ObjectState object;
        VARIANT item;
        VariantInit(&item);
        V_VT(&item) = VT_UNKNOWN;
        V_UNKNOWN(&item) = &held;
        AddOk(object, u"o", item);
        ASSERT_EQ(held.references(), 2) << "the test and the store";

        ComPtr<IEnumVARIANT> enumerator = NewEnumOk(object);
        ASSERT_TRUE(enumerator);
        EXPECT_EQ(held.references(), 3) << "the temporary array is gone, the block holds one";

        VARIANT fetched;
        VariantInit(&fetched);
        ASSERT_EQ(enumerator->Next(1, &fetched, nullptr), S_OK);
        ASSERT_EQ(V_VT(&fetched), VT_UNKNOWN);
        EXPECT_EQ(V_UNKNOWN(&fetched), &held);
        EXPECT_EQ(held.references(), 4);
        VariantClear(&fetched);

        ComPtr<IEnumVARIANT> clone;
        ASSERT_EQ(enumerator->Clone(clone.put()), S_OK);
        EXPECT_EQ(held.references(), 3) << "a clone shares the block";
        enumerator.reset();
        EXPECT_EQ(held.references(), 3) << "the clone keeps the block";
        clone.reset();
        EXPECT_EQ(held.references(), 2);
    }
    EXPECT_EQ(held.references(), 1);
}

TEST(ItemEnumeratorOwnership, StringItemsAreYieldedAsCopies)
{
    ObjectState object;
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_BSTR;
    V_BSTR(&item) = SysAllocString(reinterpret_cast<const OLECHAR*>(u"text"));
    AddOk(object, u"s", item);
    VariantClear(&item);

    ComPtr<IEnumVARIANT> enumerator = NewEnumOk(object);
    ASSERT_TRUE(enumerator);
    VARIANT first, second;
    VariantInit(&first);
    VariantInit(&second);
    ASSERT_EQ(enumerator->Next(1, &first, nullptr), S_OK);
    ASSERT_EQ(enumerator->Reset(), S_OK);
    ASSERT_EQ(enumerator->Next(1, &second, nullptr), S_OK);
    ASSERT_EQ(V_VT(&first), VT_BSTR);
    ASSERT_EQ(V_VT(&second), VT_BSTR);
    EXPECT_NE(V_BSTR(&first), V_BSTR(&second));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(&first))), u"text");
    VariantClear(&first);
    VariantClear(&second);
}

TEST(ItemEnumeratorOwnership, EachLiveEnumeratorHoldsTheModule)
{
    const LONG before = ModuleLockCount();
    {
        ObjectState object;
        AddOk(object, u"a", 1);
        ComPtr<IEnumVARIANT> enumerator = NewEnumOk(object);
        EXPECT_EQ(ModuleLockCount(), before + 1);
        ComPtr<IEnumVARIANT> clone;
        ASSERT_EQ(enumerator->Clone(clone.put()), S_OK);
        ComPtr<IEnumVARIANT> cloneOfClone;
        ASSERT_EQ(clone->Clone(cloneOfClone.put()), S_OK);
        EXPECT_EQ(ModuleLockCount(), before + 3);
        enumerator.reset();
        EXPECT_EQ(ModuleLockCount(), before + 3) << "the owner lives on for its clones";
        clone.reset();
        EXPECT_EQ(ModuleLockCount(), before + 2);
    }
    EXPECT_EQ(ModuleLockCount(), before);
    EXPECT_EQ(before, 0);
}

TEST(ItemEnumeratorOwnership, ClonesAreUsedAndReleasedInParallel)
{
    CountingObject held;
    ObjectState object;
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_UNKNOWN;
    V_UNKNOWN(&item) = &held;
    AddOk(object, u"o", item);
    AddOk(object, u"p", 5);
    ComPtr<IEnumVARIANT> source = NewEnumOk(object);
    ASSERT_TRUE(source);

    constexpr int kThreads = 4;
    std::vector<ComPtr<IEnumVARIANT>> clones(kThreads);
    for (auto& clone : clones) {
        ASSERT_EQ(source->Clone(clone.put()), S_OK);
    }
    source.reset();
    std::vector<std::thread> threads;
    for (auto& clone : clones) {
        threads.emplace_back([&clone] {
            for (int round = 0; round < 200; ++round) {
                std::array<VARIANT, 2> row{};
                for (VARIANT& element : row) {
                    VariantInit(&element);
                }
                ULONG fetched = 0;
                clone->Next(2, row.data(), &fetched);
                for (VARIANT& element : row) {
                    VariantClear(&element);
                }
                clone->Reset();
            }
            clone.reset();
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(held.references(), 2) << "the test and the store";
    EXPECT_EQ(ModuleLockCount(), 0);
}

} // namespace
} // namespace korvo
