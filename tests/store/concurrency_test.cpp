// Several threads on one named store and on one shared object: no entry lost, counts exact,
// and concurrent first calls, Connect and DisConnect on one object never lose a store.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "members/sharing.h"
#include "members/items.h"
#include "members/keys_and_modes.h"
#include "member_calls.h"

namespace korvo::testing {
namespace {

constexpr int kThreads = 4;
constexpr int kPerThread = 300;

std::u16string Text(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

template <class Body>
void RunThreads(Body body)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(body, t);
    }
    for (auto& thread : threads) {
        thread.join();
    }
}

TEST(Concurrency, ThreadsOnOneNamedStoreLoseNoEntry)
{
    const auto name = Text("concurrent-" + std::to_string(GetCurrentProcessId()));
    RunThreads([&](int t) {
        ObjectState object;
        Bstr dictionary(name);
        ASSERT_EQ(members::Connect(object, dictionary, nullptr), S_OK);
        ASSERT_EQ(members::PutUniqueKeys(object, VARIANT_FALSE), S_OK);
        for (int i = 0; i < kPerThread; ++i) {
            AddOk(object, Text("k" + std::to_string(i % 17)), t * kPerThread + i);
            if (i % 50 == 0) {
                Var keys;
                EXPECT_EQ(members::Keys(object, keys.get()), S_OK);
            }
        }
    });
    ObjectState reader;
    Bstr dictionary(name);
    ASSERT_EQ(members::Connect(reader, dictionary, nullptr), S_OK);
    EXPECT_EQ(ItemsCountOf(reader), kThreads * kPerThread);
    LONG keys = 0;
    ASSERT_EQ(members::KeysCount(reader, &keys), S_OK);
    EXPECT_EQ(keys, 17);
}

TEST(Concurrency, ThreadsOnOneObjectFromItsFirstCall)
{
    ObjectState shared;
    ASSERT_EQ(members::PutUniqueKeys(shared, VARIANT_FALSE), S_OK);
    RunThreads([&](int t) {
        for (int i = 0; i < kPerThread; ++i) {
            AddOk(shared, Text("t" + std::to_string(t)), i);
        }
    });
    EXPECT_EQ(ItemsCountOf(shared), kThreads * kPerThread);
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(CountOf(shared, Text("t" + std::to_string(t))), kPerThread);
    }
}

TEST(Concurrency, ConnectAndDisConnectRaceWithCallsOnOneObject)
{
    const auto name = Text("race-" + std::to_string(GetCurrentProcessId()));
    ObjectState shared;
    std::atomic<bool> stop{false};
    std::thread rebinder([&] {
        Bstr dictionary(name);
        for (int i = 0; i < 200; ++i) {
            EXPECT_EQ(i % 2 == 0 ? members::Connect(shared, dictionary, nullptr) : members::DisConnect(shared), S_OK);
        }
        stop = true;
    });
    RunThreads([&](int t) {
        Var item(t);
        Bstr key(Text("w" + std::to_string(t)));
        while (!stop) {
            members::Add(shared, key, item.get());
            LONG count = 0;
            EXPECT_EQ(members::ItemsCount(shared, &count), S_OK);
            EXPECT_EQ(members::Remove(shared, key, 0), S_OK);
        }
    });
    rebinder.join();
    LONG references = 0;
    ASSERT_EQ(members::RefCounter(shared, &references), S_OK);
    EXPECT_EQ(references, 1);
}

TEST(Concurrency, ModeFlipsDuringOperationsNeverCorruptAStore)
{
    CompareModeScope modeScope;
    ObjectState shared;
    ASSERT_EQ(members::PutUniqueKeys(shared, VARIANT_FALSE), S_OK);
    std::atomic<bool> stop{false};
    std::thread flipper([&] {
        for (int i = 0; i < 300; ++i) {
            members::PutCompareMode(i % 2);
        }
        stop = true;
    });
    RunThreads([&](int t) {
        const std::u16string keys[] = {u"a", u"A", u"b", u"B"};
        for (int i = 0; i < kPerThread; ++i) {
            AddOk(shared, keys[(i + t) % 4], i);
        }
    });
    flipper.join();
    EXPECT_EQ(ItemsCountOf(shared), kThreads * kPerThread);
    EXPECT_EQ(static_cast<LONG>(ItemsOf(shared).size()), kThreads * kPerThread);
}

} // namespace
} // namespace korvo::testing
