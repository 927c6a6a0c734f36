// Keys made in one shared block: each reads back its own text, and the block lives exactly
// as long as its last user, whichever order the keys and the slab go in and on whatever
// thread (the sanitizer builds see a block freed early or never).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "store/key_slab.h"

namespace korvo {
namespace {

KeyView View(const std::u16string& text)
{
    return KeyView(reinterpret_cast<const OLECHAR*>(text.data()), text.size());
}

std::u16string Text(std::size_t units, std::size_t seed)
{
    std::u16string text;
    for (std::size_t i = 0; i < units; ++i) {
        text.push_back(static_cast<char16_t>(u'a' + (seed + i) % 26));
    }
    if (units > 0) {
        text.back() = static_cast<char16_t>(0xD800 + seed % 0x400); // any code unit travels
    }
    return text;
}

struct SlabCase {
    const char* name;
    std::vector<std::size_t> lengths; // of the keys made, in order
    std::size_t roomForKeys; // the slab is sized for the first this many
};

class KeySlabTexts : public ::testing::TestWithParam<SlabCase> {};

TEST_P(KeySlabTexts, EveryKeyReadsBackItsOwnText)
{
    const SlabCase& c = GetParam();
    std::vector<std::u16string> texts;
    std::size_t bytes = 0;
    std::size_t keys = 0;
    for (std::size_t i = 0; i < c.lengths.size(); ++i) {
        texts.push_back(Text(c.lengths[i], i));
        if (i < c.roomForKeys && KeySlab::BytesFor(c.lengths[i]) != 0) {
            bytes += KeySlab::BytesFor(c.lengths[i]);
            ++keys;
        }
    }
    std::vector<StoredKey> made;
    {
        KeySlab slab(bytes, keys);
        for (const auto& text : texts) {
            made.push_back(slab.Of(View(text)));
        }
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(made[i].View(), View(texts[i])) << "key " << i;
    }
    for (auto& key : made) {
        key.Free();
        EXPECT_TRUE(key.View().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, KeySlabTexts,
                         ::testing::Values(SlabCase{"ShortKeysStayInPlace", {0, 1, 7, 7, 3}, 5},
                                           SlabCase{"LongKeysShareTheBlock", {8, 9, 16, 17, 100}, 5},
                                           SlabCase{"KeysBeyondTheRoomGetTheirOwn", {8, 40, 12, 300, 8}, 2},
                                           SlabCase{"ASlabWithNoRoom", {20, 30}, 0},
                                           SlabCase{"OneVeryLongKey", {70000}, 1},
                                           SlabCase{"MixedLengths", {7, 8, 0, 64, 6, 9, 33, 1}, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

// The block goes with its last user: keys freed before the slab goes, after it, and from
// several threads at once.
TEST(KeySlab, TheBlockOutlivesEveryKeyWhateverTheOrderAndThread)
{
    constexpr std::size_t kKeys = 4000;
    std::vector<std::u16string> texts;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < kKeys; ++i) {
        texts.push_back(Text(8 + i % 40, i));
        bytes += KeySlab::BytesFor(texts.back().size());
    }
    std::vector<StoredKey> made;
    auto slab = std::make_unique<KeySlab>(bytes, kKeys);
    for (const auto& text : texts) {
        made.push_back(slab->Of(View(text)));
    }
    std::vector<std::size_t> order(kKeys);
    for (std::size_t i = 0; i < kKeys; ++i) {
        order[i] = i;
    }
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (std::size_t i = 0; i < kKeys / 4; ++i) {
        made[order[i]].Free();
    }
    slab.reset();

    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t i = kKeys / 4 + t; i < kKeys; i += 4) {
                const std::size_t at = order[i];
                EXPECT_EQ(made[at].View(), View(texts[at]));
                made[at].Free();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
}

// A slab none of whose room is used frees its block when it goes.
TEST(KeySlab, AnUnusedSlabFreesItsBlock)
{
    KeySlab slab(4096, 100);
    const std::u16string shortKey = u"short";
    StoredKey inPlace = slab.Of(View(shortKey));
    EXPECT_EQ(inPlace.View(), View(shortKey));
    inPlace.Free();
}

} // namespace
} // namespace korvo
