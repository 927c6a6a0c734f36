// The B+ tree under the container against a sorted list doing the same work: random
// insertions (in order, in reverse and at random), erasures of runs and of flagged entries,
// and rebuilds, with every lookup and the whole walk (entry by entry and run by run) compared
// after each step.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "store/entry_tree.h"

namespace korvo {
namespace {

struct ModelEntry {
    std::u16string key;
    std::uint32_t sequence;
    LONG value;
};

class TreeModel {
public:
    explicit TreeModel(CompareMode mode) : tree_(mode) {}
    ~TreeModel()
    {
        // The tree frees the keys; the items are plain integers.
    }

    bool Before(const ModelEntry& a, const std::u16string& key, std::uint64_t sequence) const
    {
        const int order = CompareKeys(KeyView(reinterpret_cast<const OLECHAR*>(a.key.data()), a.key.size()),
                                      KeyView(reinterpret_cast<const OLECHAR*>(key.data()), key.size()), tree_.Mode());
        return order < 0 || (order == 0 && a.sequence < sequence);
    }

    void Insert(const std::u16string& key, LONG value)
    {
        const std::uint32_t sequence = next_++;
        Entry entry{StoredKey::Of(View(key)), sequence, {}};
        V_VT(&entry.item) = VT_I4;
        V_I4(&entry.item) = value;
        tree_.Insert(entry);
        const auto at = std::find_if(model_.begin(), model_.end(),
                                     [&](const ModelEntry& e) { return !Before(e, key, sequence); });
        model_.insert(at, ModelEntry{key, sequence, value});
    }

    void EraseRun(std::size_t first, std::size_t count)
    {
        auto at = tree_.Begin();
        for (std::size_t i = 0; i < first; ++i) {
            at = EntryTree::Next(at);
        }
        std::vector<VARIANT> items;
        items.reserve(count);
        std::vector<StoredKey> keys;
        keys.reserve(count);
        tree_.Erase(at, count, items, keys);
        FreeAll(keys);
        ASSERT_EQ(items.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(V_I4(&items[i]), model_[first + i].value);
        }
        model_.erase(model_.begin() + static_cast<long>(first), model_.begin() + static_cast<long>(first + count));
    }

    void EraseFlagged(std::minstd_rand& random)
    {
        std::vector<bool> flags(model_.size());
        std::size_t flagged = 0;
        for (std::size_t i = 0; i < flags.size(); ++i) {
            flags[i] = random() % 3 == 0;
            flagged += flags[i] ? 1 : 0;
        }
        std::vector<VARIANT> items;
        items.reserve(flagged);
        std::vector<StoredKey> keys;
        keys.reserve(flagged);
        tree_.EraseFlagged(flags, items, keys);
        FreeAll(keys);
        EXPECT_EQ(items.size(), flagged);
        std::vector<ModelEntry> kept;
        for (std::size_t i = 0; i < flags.size(); ++i) {
            if (!flags[i]) {
                kept.push_back(model_[i]);
            }
        }
        model_ = kept;
    }

    void Rebuild()
    {
        std::vector<Entry> all;
        all.reserve(tree_.size());
        tree_.TakeAll(all);
        tree_ = EntryTree::Build(all, tree_.Mode());
    }

    void Check(const std::string& step)
    {
        ASSERT_EQ(tree_.size(), model_.size()) << step;
        std::size_t i = 0;
        for (auto at = tree_.Begin(); at != EntryTree::End(); at = EntryTree::Next(at), ++i) {
            ASSERT_LT(i, model_.size()) << step;
            const Entry& entry = EntryTree::At(at);
            ASSERT_EQ(
                std::u16string(reinterpret_cast<const char16_t*>(entry.key.View().data()), entry.key.View().size()),
                model_[i].key)
                << step << " at " << i;
            ASSERT_EQ(V_I4(&entry.item), model_[i].value) << step << " at " << i;
        }
        ASSERT_EQ(i, model_.size()) << step;
        // Run by run, from the start and from places inside leaves, the same entries.
        for (std::size_t start = 0; start <= model_.size(); start += 1 + model_.size() / 5) {
            auto from = tree_.Begin();
            for (std::size_t skipped = 0; skipped < start; ++skipped) {
                from = EntryTree::Next(from);
            }
            std::size_t at = start;
            for (auto run = EntryTree::RunAt(from); run.count != 0; run = EntryTree::RunAt(run.after)) {
                for (std::uint32_t r = 0; r < run.count; ++r, ++at) {
                    ASSERT_LT(at, model_.size()) << step << ": runs from " << start;
                    ASSERT_EQ(V_I4(&run.entries[r].item), model_[at].value) << step << ": runs from " << start;
                }
            }
            ASSERT_EQ(at, model_.size()) << step << ": runs from " << start;
        }
        // Every key's lower and upper places, and a place before and behind everything.
        for (std::size_t m = 0; m < model_.size(); m += 1 + model_.size() / 64) {
            for (std::uint64_t sequence : {std::uint64_t{0}, EntryTree::kBehindAll}) {
                const auto expected = static_cast<std::size_t>(
                    std::find_if(model_.begin(), model_.end(),
                                 [&](const ModelEntry& e) { return !Before(e, model_[m].key, sequence); }) -
                    model_.begin());
                ASSERT_EQ(OrdinalOf(EntryTree::Normalised(tree_.Seek(View(model_[m].key), sequence))), expected)
                    << step << ": seek of key " << m << " with sequence " << sequence;
            }
        }
    }

private:
    static void FreeAll(std::vector<StoredKey>& keys)
    {
        for (StoredKey& key : keys) {
            key.Free();
        }
    }

    static KeyView View(const std::u16string& key)
    {
        return KeyView(reinterpret_cast<const OLECHAR*>(key.data()), key.size());
    }

    std::size_t OrdinalOf(EntryTree::Position position)
    {
        std::size_t ordinal = 0;
        for (auto at = tree_.Begin(); at != position; at = EntryTree::Next(at)) {
            ++ordinal;
        }
        return ordinal;
    }

    EntryTree tree_;
    std::vector<ModelEntry> model_;
    std::uint32_t next_ = 1;
};

std::u16string KeyFor(unsigned number, bool longKey)
{
    const std::string text = (longKey ? "a long key of its own " : "k") + std::to_string(number);
    return std::u16string(text.begin(), text.end());
}

enum class Order { Ascending, Descending, Random };

class EntryTreeModel : public ::testing::TestWithParam<Order> {};

TEST_P(EntryTreeModel, MatchesASortedListThroughEveryStep)
{
    std::minstd_rand random(1234 + static_cast<unsigned>(GetParam()));
    for (CompareMode mode : {CompareMode::Binary, CompareMode::Text}) {
        TreeModel model(mode);
        for (int round = 0; round < 6; ++round) {
            for (unsigned n = 0; n < 3000; ++n) {
                const unsigned number = GetParam() == Order::Ascending    ? n
                                        : GetParam() == Order::Descending ? 3000 - n
                                                                          : static_cast<unsigned>(random() % 2000);
                model.Insert(KeyFor(number, number % 7 == 0), static_cast<LONG>(round * 10000 + n));
            }
            model.Check("inserts of round " + std::to_string(round));
            model.EraseRun(round * 97 % 500, 700);
            model.Check("run erased in round " + std::to_string(round));
            model.EraseFlagged(random);
            model.Check("flagged erased in round " + std::to_string(round));
            if (round % 2 == 1) {
                model.Rebuild();
                model.Check("rebuilt in round " + std::to_string(round));
            }
        }
        model.EraseRun(0, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, EntryTreeModel, ::testing::Values(Order::Ascending, Order::Descending, Order::Random));

} // namespace
} // namespace korvo
