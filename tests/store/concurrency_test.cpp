// Several threads on one named store and on one shared object: no entry lost, counts exact,
// and concurrent first calls, Connect and DisConnect on one object never lose a store.
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "member_calls.h"
#include "members/items.h"
#include "members/keys_and_modes.h"
#include "members/persistence.h"
#include "members/sharing.h"

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

// Save reads a copy of the entries after it has let the store go; what other threads remove,
// replace or rename meanwhile must stay readable until it is done (the sanitizer builds see
// any read of freed memory), and every file it writes is a whole one.
TEST(Concurrency, SaveWhileOthersRemoveAndReplace)
{
    const std::string folder = std::filesystem::temp_directory_path().string() + "/korvo-save-race-" +
                               std::to_string(GetCurrentProcessId());
    std::filesystem::create_directories(folder);
    const auto name = Text("save-race-" + std::to_string(GetCurrentProcessId()));
    ObjectState writer;
    ConnectOk(writer, name);
    for (int i = 0; i < 2000; ++i) {
        AddText(writer, Text("key with a long name " + std::to_string(i)), Text("a text value " + std::to_string(i)));
    }
    std::atomic<bool> saving{true};
    std::thread changer([&] {
        ObjectState other;
        ConnectOk(other, name);
        for (int round = 0; saving.load(); ++round) {
            const auto key = Text("key with a long name " + std::to_string(round % 2000));
            Var text(Text("replaced " + std::to_string(round)));
            members::PutItem(other, Bstr(key), text.get());
            members::PutKey(other, Bstr(key), Bstr(key + u" renamed"));
            members::Remove(other, Bstr(key + u" renamed"), 0);
            AddText(other, key, u"back again");
        }
    });
    const Bstr file(Text(folder + "/race.dic"));
    for (int save = 0; save < 30; ++save) {
        ASSERT_EQ(members::Save(writer, file, VARIANT_FALSE, nullptr), S_OK);
        ObjectState loaded;
        ASSERT_EQ(members::Load(loaded, file, nullptr), S_OK) << "save " << save;
        const LONG count = ItemsCountOf(loaded);
        EXPECT_GE(count, 1999);
        EXPECT_LE(count, 2000);
    }
    saving = false;
    changer.join();
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace korvo::testing
