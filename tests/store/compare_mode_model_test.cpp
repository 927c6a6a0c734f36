// Random operation sequences, compare-mode flips included, checked against a reference
// model: after any flip the store must equal the container one would get by inserting its
// entries anew, in their original insertion order, under the new mode.
#include <algorithm>
#include <random>

#include "member_calls.h"
#include "members/items.h"
#include "members/keys_and_modes.h"

namespace korvo::testing {
namespace {

struct ModelEntry {
    std::u16string key;
    LONG item;
    std::uint64_t sequence;
};

class ReferenceModel {
public:
    void SetMode(CompareMode mode) { mode_ = mode; }
    void SetUnique(bool unique) { unique_ = unique; }

    bool Add(const std::u16string& key, LONG item)
    {
        if (unique_ && Count(key) > 0) {
            return false;
        }
        entries_.push_back({key, item, next_++});
        return true;
    }
    bool Put(const std::u16string& key, LONG item)
    {
        const LONG count = Count(key);
        if (count >= 2) {
            return false;
        }
        if (count == 1) {
            for (auto& entry : entries_) {
                if (Same(entry.key, key)) {
                    entry.item = item;
                }
            }
            return true;
        }
        entries_.push_back({key, item, next_++});
        return true;
    }
    void Remove(const std::u16string& key)
    {
        std::erase_if(entries_, [&](const ModelEntry& e) { return Same(e.key, key); });
    }
    void Rename(const std::u16string& key, const std::u16string& newKey)
    {
        // The moved entries are inserted anew, in their order, after the new key's entries.
        for (const auto& entry : Ordered()) {
            if (Same(entry.key, key)) {
                for (auto& stored : entries_) {
                    if (stored.sequence == entry.sequence) {
                        stored.key = newKey;
                        stored.sequence = next_++;
                    }
                }
            }
        }
    }
    LONG Count(const std::u16string& key) const
    {
        return static_cast<LONG>(
            std::count_if(entries_.begin(), entries_.end(), [&](const ModelEntry& e) { return Same(e.key, key); }));
    }
    std::vector<ModelEntry> Ordered() const
    {
        auto ordered = entries_;
        std::sort(ordered.begin(), ordered.end(), [&](const ModelEntry& a, const ModelEntry& b) {
            const int order = CompareKeys(View(a.key), View(b.key), mode_);
            return order < 0 || (order == 0 && a.sequence < b.sequence);
        });
        return ordered;
    }
    std::vector<LONG> Items() const
    {
        std::vector<LONG> items;
        for (const auto& entry : Ordered()) {
            items.push_back(entry.item);
        }
        return items;
    }
    std::vector<std::u16string> Keys() const
    {
        std::vector<std::u16string> keys;
        const auto ordered = Ordered();
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            if (i == 0 || !Same(ordered[i - 1].key, ordered[i].key)) {
                keys.push_back(ordered[i].key);
            }
        }
        return keys;
    }

private:
    static KeyView View(const std::u16string& s)
    {
        return KeyView(reinterpret_cast<const OLECHAR*>(s.data()), s.size());
    }
    bool Same(const std::u16string& a, const std::u16string& b) const
    {
        return CompareKeys(View(a), View(b), mode_) == 0;
    }

    std::vector<ModelEntry> entries_;
    std::uint64_t next_ = 1;
    CompareMode mode_ = CompareMode::Binary;
    bool unique_ = false;
};

class CompareModeModel : public ::testing::TestWithParam<unsigned> {
protected:
    CompareModeScope modeScope;
};

TEST_P(CompareModeModel, StoreMatchesModelAcrossModeFlips)
{
    std::mt19937 random(GetParam());
    const std::u16string alphabet[] = {u"a",  u"A",  u"b",  u"B", u"_",      u"[",
                                       u"ab", u"aB", u"Ab", u"",  u"\u00e9", u"\u00c9"};
    auto pick = [&] { return alphabet[random() % std::size(alphabet)]; };

    ObjectState object;
    ReferenceModel model;
    ASSERT_EQ(members::PutCompareMode(0), S_OK);
    ASSERT_EQ(members::PutUniqueKeys(object, VARIANT_FALSE), S_OK);

    for (int step = 0; step < 400; ++step) {
        const std::u16string key = pick();
        const LONG item = step;
        Bstr keyText(key);
        switch (random() % 8) {
        case 0:
        case 1:
        case 2: {
            Var value(item);
            const bool added = model.Add(key, item);
            ASSERT_EQ(members::Add(object, keyText, value.get()), added ? S_OK : E_FAIL);
            break;
        }
        case 3: {
            Var value(item);
            const bool put = model.Put(key, item);
            ASSERT_EQ(members::PutItem(object, keyText, value.get()), put ? S_OK : E_FAIL);
            break;
        }
        case 4:
            model.Remove(key);
            ASSERT_EQ(members::Remove(object, keyText, 0), S_OK);
            break;
        case 5: {
            const std::u16string newKey = pick();
            Bstr newKeyText(newKey);
            model.Rename(key, newKey);
            ASSERT_EQ(members::PutKey(object, keyText, newKeyText), S_OK);
            break;
        }
        case 6: {
            const auto mode = static_cast<CompareMode>(random() % 2);
            model.SetMode(mode);
            ASSERT_EQ(members::PutCompareMode(static_cast<LONG>(mode)), S_OK);
            break;
        }
        default:
            ASSERT_EQ(CountOf(object, key), key.empty() ? ItemsCountOf(object) : model.Count(key)) << "step " << step;
            break;
        }
        if (step % 10 == 9) {
            ASSERT_EQ(ItemsOf(object), model.Items()) << "step " << step;
            ASSERT_EQ(KeysOf(object), model.Keys()) << "step " << step;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, CompareModeModel, ::testing::Values(1u, 2u, 3u, 42u, 1234u, 98765u));

} // namespace
} // namespace korvo::testing
