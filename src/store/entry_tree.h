// The ordered storage of a container: a B+ tree of entries (key, insertion sequence, item),
// ordered by key under one compare mode and, among equivalent keys, by sequence. Entries sit
// side by side in leaves that are linked in order, so walking the container reads memory in
// order, and a lookup is one descent with a binary search in each node.
//
// Entries are plain values: the tree moves them by copying their bytes and frees their keys
// when it erases them or goes; their items are the caller's to release. A node is split when
// it overflows and removed when it empties; the tree is never rebalanced otherwise (the
// container rebuilds it when it has emptied out).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "store/stored_key.h"

namespace korvo {

struct Entry {
    StoredKey key;
    std::uint32_t sequence;
    VARIANT item;
};

class EntryTree {
public:
    struct Node;
    struct Leaf;
    struct Inner;

    // A place in the tree: an entry of a leaf, or the end (no leaf).
    struct Position {
        Leaf* leaf = nullptr;
        std::uint32_t index = 0;
        bool operator==(const Position&) const = default;
    };

    // A sequence beyond every sequence a container gives: the probe that finds the place
    // behind every entry of a key.
    static constexpr std::uint64_t kBehindAll = std::uint64_t{1} << 32;

    explicit EntryTree(CompareMode mode) noexcept : mode_(mode) {}
    EntryTree(const EntryTree&) = delete;
    EntryTree& operator=(const EntryTree&) = delete;
    EntryTree(EntryTree&& other) noexcept;
    EntryTree& operator=(EntryTree&& other) noexcept;
    // Frees every node and every key; the items are not touched.
    ~EntryTree();

    CompareMode Mode() const noexcept { return mode_; }
    std::size_t size() const noexcept { return size_; }
    std::size_t LeafCount() const noexcept { return leaves_; }

    Position Begin() const noexcept { return Normalised({first_, 0}); }
    static Position End() noexcept { return {}; }
    static Position Next(Position position) noexcept { return Normalised({position.leaf, position.index + 1}); }
    // The entry before `position` (End() stands for the place after the last entry), or
    // End() when there is none.
    Position Previous(Position position) const noexcept;
    static Entry& At(Position position) noexcept;

    // The entries from a place to the end of its leaf, which lie side by side in memory,
    // and the place behind them. The next leaf is asked for from memory meanwhile, so a walk
    // run by run seldom waits for it.
    struct Run {
        const Entry* entries = nullptr;
        std::uint32_t count = 0;
        Position after;
    };
    static Run RunAt(Position position) noexcept;

    // Where the entry (key, sequence) goes: the first entry that orders after it. A raw
    // place (it may be one past a leaf's last entry), valid until the tree changes; Normalised
    // turns it into an entry's place or End().
    Position Seek(KeyView key, std::uint64_t sequence) const noexcept;
    static Position Normalised(Position position) noexcept;

    // Puts `entry` at `place`, which Seek gave for the entry's own key and sequence with no
    // change since. Throws std::bad_alloc before anything changes (the entry then stays the
    // caller's).
    void InsertAt(Position place, const Entry& entry);
    void Insert(const Entry& entry) { InsertAt(Seek(entry.key.View(), entry.sequence), entry); }

    // Removes `count` entries from `first` on, in order: their items and keys are appended to
    // `items` and `keys`, which must have room for them (no allocation happens here); the
    // caller frees the keys.
    void Erase(Position first, std::size_t count, std::vector<VARIANT>& items, std::vector<StoredKey>& keys) noexcept;

    // Removes the entries whose flag is set, in the order of a walk from Begin(); otherwise
    // as Erase.
    void EraseFlagged(const std::vector<bool>& flags, std::vector<VARIANT>& items,
                      std::vector<StoredKey>& keys) noexcept;

    // Every entry in order, appended by its bytes to `entries` (which must have room); the
    // tree is left empty and owns none of them any more.
    void TakeAll(std::vector<Entry>& entries) noexcept;
    // Every entry in order, copied by its bytes to `out`, which has room for size(); the tree
    // still owns them.
    void CopyAll(Entry* out) const noexcept;
    // Empties the tree without freeing the entries' keys, which something else owns now.
    void ForgetEntries() noexcept;

    // A tree of `entries`, which must be in order under `mode` with unique sequences; the
    // leaves are filled full. Throws std::bad_alloc, and the entries stay the caller's.
    static EntryTree Build(const std::vector<Entry>& entries, CompareMode mode);

    // Negative when the entry orders before (key, sequence).
    int Compare(const Entry& entry, KeyView key, std::uint64_t sequence) const noexcept;

private:
    void FreeNodes() noexcept;
    // InsertAt at a full leaf: it splits in two, the entry going into the half its place is in.
    void SplitAndInsert(Position place, const Entry& entry);
    void LinkAfter(Leaf* leaf, Leaf* right) noexcept;
    void RemoveLeaf(Leaf* leaf) noexcept;
    void RemoveChild(Inner* parent, std::uint32_t index) noexcept;

    CompareMode mode_;
    Node* root_ = nullptr;
    Leaf* first_ = nullptr;
    Leaf* last_ = nullptr;
    std::size_t size_ = 0;
    std::size_t leaves_ = 0;
};

} // namespace korvo
