#include "store/entry_tree.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace korvo {
namespace {

constexpr std::uint32_t kLeafCapacity = 32;
constexpr std::uint32_t kInnerCapacity = 64;

// The lowest entry a child of an inner node may hold (for every child but the first).
struct Separator {
    StoredKey key;
    std::uint32_t sequence = 0;
};

int CompareSequences(std::uint64_t a, std::uint64_t b) noexcept
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

struct EntryTree::Node {
    explicit Node(bool leaf) noexcept : isLeaf(leaf) {}
    Inner* parent = nullptr;
    std::uint32_t count = 0;
    const bool isLeaf;
};

struct EntryTree::Leaf : Node {
    Leaf() noexcept : Node(true) {}
    Leaf* previous = nullptr;
    Leaf* next = nullptr;
    Entry entries[kLeafCapacity];
};

struct EntryTree::Inner : Node {
    Inner() noexcept : Node(false) {}
    Separator lows[kInnerCapacity]; // lows[0] is never used: the first child has no lower end
    Node* children[kInnerCapacity];
};

namespace {

// Nodes are made and ended here only; a node's keys are freed by the tree before it goes.
template <class Kind>
std::unique_ptr<Kind> MakeNode()
{
    return std::make_unique<Kind>();
}

void EndNode(EntryTree::Node* node) noexcept;

std::uint32_t IndexInParent(const EntryTree::Inner& parent, const void* child) noexcept
{
    std::uint32_t index = 0;
    while (index < parent.count && parent.children[index] != child) {
        ++index;
    }
    return index;
}

} // namespace

namespace {
void EndNode(EntryTree::Node* node) noexcept
{
    if (node->isLeaf) {
        std::unique_ptr<EntryTree::Leaf> ended(static_cast<EntryTree::Leaf*>(node));
    } else {
        std::unique_ptr<EntryTree::Inner> ended(static_cast<EntryTree::Inner*>(node));
    }
}
} // namespace

EntryTree::EntryTree(EntryTree&& other) noexcept
    : mode_(other.mode_), root_(std::exchange(other.root_, nullptr)), first_(std::exchange(other.first_, nullptr)),
      last_(std::exchange(other.last_, nullptr)), size_(std::exchange(other.size_, 0)),
      leaves_(std::exchange(other.leaves_, 0))
{}

EntryTree& EntryTree::operator=(EntryTree&& other) noexcept
{
    if (this != &other) {
        FreeNodes();
        mode_ = other.mode_;
        root_ = std::exchange(other.root_, nullptr);
        first_ = std::exchange(other.first_, nullptr);
        last_ = std::exchange(other.last_, nullptr);
        size_ = std::exchange(other.size_, 0);
        leaves_ = std::exchange(other.leaves_, 0);
    }
    return *this;
}

EntryTree::~EntryTree()
{
    FreeNodes();
}

void EntryTree::FreeNodes() noexcept
{
    // Depth first; the height is a handful of levels, so recursion stays shallow.
    struct Freer {
        static void Free(Node* node) noexcept
        {
            if (node->isLeaf) {
                auto* leaf = static_cast<Leaf*>(node);
                for (std::uint32_t i = 0; i < leaf->count; ++i) {
                    leaf->entries[i].key.Free();
                }
            } else {
                auto* inner = static_cast<Inner*>(node);
                for (std::uint32_t i = 0; i < inner->count; ++i) {
                    if (i > 0) {
                        inner->lows[i].key.Free();
                    }
                    Free(inner->children[i]);
                }
            }
            EndNode(node);
        }
    };
    if (root_ != nullptr) {
        Freer::Free(root_);
    }
    root_ = nullptr;
    first_ = last_ = nullptr;
    size_ = leaves_ = 0;
}

int EntryTree::Compare(const Entry& entry, KeyView key, std::uint64_t sequence) const noexcept
{
    const int order = CompareKeys(entry.key.View(), key, mode_);
    return order != 0 ? order : CompareSequences(entry.sequence, sequence);
}

Entry& EntryTree::At(Position position) noexcept
{
    return position.leaf->entries[position.index];
}

EntryTree::Run EntryTree::RunAt(Position position) noexcept
{
    const Leaf* leaf = position.leaf;
    if (leaf == nullptr || position.index >= leaf->count) {
        return {nullptr, 0, Normalised(position)};
    }
    if (const Leaf* next = leaf->next; next != nullptr) {
        // Its whole block: reading its count first would wait for it.
        const auto* bytes = reinterpret_cast<const char*>(next);
        for (std::size_t line = 0; line < sizeof(Leaf); line += 64) {
            __builtin_prefetch(bytes + line);
        }
    }
    return {&leaf->entries[position.index], leaf->count - position.index, Normalised({position.leaf, leaf->count})};
}

EntryTree::Position EntryTree::Normalised(Position position) noexcept
{
    if (position.leaf == nullptr) {
        return {};
    }
    if (position.index < position.leaf->count) {
        return position;
    }
    return position.leaf->next != nullptr ? Position{position.leaf->next, 0} : Position{};
}

EntryTree::Position EntryTree::Previous(Position position) const noexcept
{
    if (position.leaf == nullptr) {
        return last_ != nullptr ? Position{last_, last_->count - 1} : Position{};
    }
    if (position.index > 0) {
        return {position.leaf, position.index - 1};
    }
    Leaf* previous = position.leaf->previous;
    return previous != nullptr ? Position{previous, previous->count - 1} : Position{};
}

EntryTree::Position EntryTree::Seek(KeyView key, std::uint64_t sequence) const noexcept
{
    if (root_ == nullptr) {
        return {};
    }
    const Node* node = root_;
    while (!node->isLeaf) {
        const auto* inner = static_cast<const Inner*>(node);
        // The last child whose lower end does not order after the probe.
        std::uint32_t low = 1;
        std::uint32_t high = inner->count;
        while (low < high) {
            const std::uint32_t middle = (low + high) / 2;
            const Separator& separator = inner->lows[middle];
            int order = CompareKeys(separator.key.View(), key, mode_);
            if (order == 0) {
                order = CompareSequences(separator.sequence, sequence);
            }
            if (order <= 0) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        node = inner->children[low - 1];
    }
    auto* leaf = const_cast<Leaf*>(static_cast<const Leaf*>(node));
    // The first entry that does not order before the probe.
    std::uint32_t low = 0;
    std::uint32_t high = leaf->count;
    while (low < high) {
        const std::uint32_t middle = (low + high) / 2;
        if (Compare(leaf->entries[middle], key, sequence) < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return {leaf, low};
}

namespace {

// Puts `entry` at `index` of a leaf that has room for it.
void PutInLeaf(EntryTree::Leaf& leaf, std::uint32_t index, const Entry& entry) noexcept
{
    std::memmove(static_cast<void*>(&leaf.entries[index + 1]), &leaf.entries[index],
                 (leaf.count - index) * sizeof(Entry));
    leaf.entries[index] = entry;
    ++leaf.count;
}

// What the split of a full leaf needs, made before anything changes so that a failure
// changes nothing: the new leaf, an inner node for each full ancestor, and one for a new root
// when every ancestor is full.
struct SplitNodes {
    std::unique_ptr<EntryTree::Leaf> leaf;
    std::vector<std::unique_ptr<EntryTree::Inner>> inners;

    EntryTree::Inner* TakeInner() noexcept
    {
        EntryTree::Inner* inner = inners.back().release();
        inners.pop_back();
        return inner;
    }
};

SplitNodes MakeSplitNodes(const EntryTree::Leaf& full)
{
    std::uint32_t inners = 0;
    const EntryTree::Inner* ancestor = full.parent;
    while (ancestor != nullptr && ancestor->count == kInnerCapacity) {
        ++inners;
        ancestor = ancestor->parent;
    }
    if (ancestor == nullptr) {
        ++inners;
    }
    SplitNodes nodes{MakeNode<EntryTree::Leaf>(), {}};
    nodes.inners.reserve(inners);
    for (std::uint32_t i = 0; i < inners; ++i) {
        nodes.inners.push_back(MakeNode<EntryTree::Inner>());
    }
    return nodes;
}

// The root over the two halves of a split root.
EntryTree::Inner* MakeRoot(EntryTree::Node* left, EntryTree::Node* right, const Separator& low,
                           EntryTree::Inner* top) noexcept
{
    top->count = 2;
    top->children[0] = left;
    top->children[1] = right;
    top->lows[1] = low;
    left->parent = right->parent = top;
    return top;
}

// Puts `added`, with its lower end, at `slot` of a parent that has room for it.
void InsertChild(EntryTree::Inner& parent, std::uint32_t slot, EntryTree::Node* added, const Separator& low) noexcept
{
    for (std::uint32_t i = parent.count; i > slot; --i) {
        parent.children[i] = parent.children[i - 1];
        parent.lows[i] = parent.lows[i - 1];
    }
    parent.children[slot] = added;
    parent.lows[slot] = low;
    added->parent = &parent;
    ++parent.count;
}

// A full parent's children with `added` at `slot`, halved between the parent and `sibling`;
// the lower end of the sibling's first child comes back, to move up to the grandparent.
Separator SplitInner(EntryTree::Inner& parent, std::uint32_t slot, EntryTree::Node* added, const Separator& low,
                     EntryTree::Inner& sibling) noexcept
{
    EntryTree::Node* children[kInnerCapacity + 1];
    Separator lows[kInnerCapacity + 1];
    for (std::uint32_t i = 0, from = 0; i <= kInnerCapacity; ++i) {
        if (i == slot) {
            children[i] = added;
            lows[i] = low;
        } else {
            children[i] = parent.children[from];
            lows[i] = parent.lows[from];
            ++from;
        }
    }
    constexpr std::uint32_t kKept = (kInnerCapacity + 1) / 2;
    parent.count = kKept;
    for (std::uint32_t i = 0; i < kKept; ++i) {
        parent.children[i] = children[i];
        parent.children[i]->parent = &parent; // the added child may have landed here
        parent.lows[i] = lows[i];
    }
    sibling.count = kInnerCapacity + 1 - kKept;
    for (std::uint32_t i = 0; i < sibling.count; ++i) {
        sibling.children[i] = children[kKept + i];
        sibling.children[i]->parent = &sibling;
        if (i > 0) {
            sibling.lows[i] = lows[kKept + i];
        }
    }
    sibling.lows[0] = Separator{};
    parent.lows[0] = Separator{};
    return lows[kKept];
}

// Hangs `added` beside its left neighbour, splitting full parents on the way up; the new
// root when the old one split, null otherwise.
EntryTree::Inner* HangBeside(EntryTree::Node* left, EntryTree::Node* added, Separator low, SplitNodes& nodes) noexcept
{
    for (;;) {
        EntryTree::Inner* parent = left->parent;
        if (parent == nullptr) {
            return MakeRoot(left, added, low, nodes.TakeInner());
        }
        const std::uint32_t slot = IndexInParent(*parent, left) + 1;
        if (parent->count < kInnerCapacity) {
            InsertChild(*parent, slot, added, low);
            return nullptr;
        }
        EntryTree::Inner* sibling = nodes.TakeInner();
        low = SplitInner(*parent, slot, added, low, *sibling);
        left = parent;
        added = sibling;
    }
}

} // namespace

void EntryTree::InsertAt(Position place, const Entry& entry)
{
    if (root_ == nullptr) {
        root_ = first_ = last_ = MakeNode<Leaf>().release();
        leaves_ = 1;
        place = {first_, 0};
    }
    if (place.leaf->count < kLeafCapacity) {
        PutInLeaf(*place.leaf, place.index, entry);
        ++size_;
        return;
    }
    SplitAndInsert(place, entry);
}

void EntryTree::SplitAndInsert(Position place, const Entry& entry)
{
    Leaf* leaf = place.leaf;
    const std::uint32_t index = place.index;
    SplitNodes nodes = MakeSplitNodes(*leaf);
    // Filling the tree in order (a Load of a saved file) leaves the full leaf as it is.
    const bool appending = leaf == last_ && index == leaf->count;
    const std::uint32_t middle = appending ? kLeafCapacity : kLeafCapacity / 2;
    const Entry& rightFirst = index == middle ? entry : leaf->entries[middle];
    const Separator low{StoredKey::Of(rightFirst.key.View()), rightFirst.sequence};

    // From here nothing throws.
    Leaf* right = nodes.leaf.release();
    const std::uint32_t moved = leaf->count - middle;
    std::memcpy(static_cast<void*>(right->entries), &leaf->entries[middle], moved * sizeof(Entry));
    right->count = moved;
    leaf->count = middle;
    if (index < middle) {
        PutInLeaf(*leaf, index, entry);
    } else {
        PutInLeaf(*right, index - middle, entry);
    }
    ++size_;
    LinkAfter(leaf, right);
    if (Inner* top = HangBeside(leaf, right, low, nodes); top != nullptr) {
        root_ = top;
    }
}

void EntryTree::LinkAfter(Leaf* leaf, Leaf* right) noexcept
{
    right->previous = leaf;
    right->next = leaf->next;
    if (leaf->next != nullptr) {
        leaf->next->previous = right;
    } else {
        last_ = right;
    }
    leaf->next = right;
    ++leaves_;
}

void EntryTree::RemoveChild(Inner* parent, std::uint32_t index) noexcept
{
    // The lower end that goes: the child's own, or for the first child the second child's,
    // which becomes the first and so has none.
    if (index > 0) {
        parent->lows[index].key.Free();
    } else if (parent->count > 1) {
        parent->lows[1].key.Free();
    }
    for (std::uint32_t i = index; i + 1 < parent->count; ++i) {
        parent->children[i] = parent->children[i + 1];
    }
    for (std::uint32_t i = std::max<std::uint32_t>(index, 1); i + 1 < parent->count; ++i) {
        parent->lows[i] = parent->lows[i + 1];
    }
    --parent->count;
    parent->lows[0] = Separator{};
    if (parent->count == 0) {
        Inner* grandparent = parent->parent;
        if (grandparent == nullptr) {
            root_ = nullptr;
        } else {
            RemoveChild(grandparent, IndexInParent(*grandparent, parent));
        }
        EndNode(parent);
        return;
    }
    // A root left with one child hands the root over to it.
    while (root_ != nullptr && !root_->isLeaf && root_->count == 1) {
        auto* top = static_cast<Inner*>(root_);
        root_ = top->children[0];
        root_->parent = nullptr;
        EndNode(top);
    }
}

void EntryTree::RemoveLeaf(Leaf* leaf) noexcept
{
    if (leaf->previous != nullptr) {
        leaf->previous->next = leaf->next;
    } else {
        first_ = leaf->next;
    }
    if (leaf->next != nullptr) {
        leaf->next->previous = leaf->previous;
    } else {
        last_ = leaf->previous;
    }
    --leaves_;
    if (leaf->parent == nullptr) {
        root_ = nullptr;
    } else {
        RemoveChild(leaf->parent, IndexInParent(*leaf->parent, leaf));
    }
    EndNode(leaf);
}

void EntryTree::Erase(Position first, std::size_t count, std::vector<VARIANT>& items,
                      std::vector<StoredKey>& keys) noexcept
{
    Position at = Normalised(first);
    while (count > 0 && at.leaf != nullptr) {
        Leaf* leaf = at.leaf;
        const std::uint32_t begin = at.index;
        const auto taken = static_cast<std::uint32_t>(std::min<std::size_t>(count, leaf->count - begin));
        for (std::uint32_t i = begin; i < begin + taken; ++i) {
            keys.push_back(leaf->entries[i].key); // within the room the caller made
            items.push_back(leaf->entries[i].item);
        }
        std::memmove(static_cast<void*>(&leaf->entries[begin]), &leaf->entries[begin + taken],
                     (leaf->count - begin - taken) * sizeof(Entry));
        leaf->count -= taken;
        size_ -= taken;
        count -= taken;
        if (leaf->count == 0) {
            Leaf* next = leaf->next;
            RemoveLeaf(leaf);
            at = next != nullptr ? Position{next, 0} : Position{};
        } else {
            at = Normalised({leaf, begin});
        }
    }
}

void EntryTree::EraseFlagged(const std::vector<bool>& flags, std::vector<VARIANT>& items,
                             std::vector<StoredKey>& keys) noexcept
{
    std::size_t ordinal = 0;
    for (Leaf* leaf = first_; leaf != nullptr;) {
        std::uint32_t kept = 0;
        for (std::uint32_t i = 0; i < leaf->count; ++i, ++ordinal) {
            if (ordinal < flags.size() && flags[ordinal]) {
                keys.push_back(leaf->entries[i].key);
                items.push_back(leaf->entries[i].item);
                --size_;
            } else {
                leaf->entries[kept++] = leaf->entries[i];
            }
        }
        leaf->count = kept;
        Leaf* next = leaf->next;
        if (kept == 0) {
            RemoveLeaf(leaf);
        }
        leaf = next;
    }
}

void EntryTree::TakeAll(std::vector<Entry>& entries) noexcept
{
    for (Leaf* leaf = first_; leaf != nullptr; leaf = leaf->next) {
        for (std::uint32_t i = 0; i < leaf->count; ++i) {
            entries.push_back(leaf->entries[i]); // within the room the caller made
        }
    }
    ForgetEntries();
}

void EntryTree::CopyAll(Entry* out) const noexcept
{
    for (const Leaf* leaf = first_; leaf != nullptr; leaf = leaf->next) {
        std::memcpy(static_cast<void*>(out), leaf->entries, leaf->count * sizeof(Entry));
        out += leaf->count;
    }
}

void EntryTree::ForgetEntries() noexcept
{
    for (Leaf* leaf = first_; leaf != nullptr; leaf = leaf->next) {
        leaf->count = 0;
    }
    FreeNodes();
}

namespace {

// The nodes of a tree built from entries in order: its leaves and, above them, each level of
// inner nodes. A build that fails frees the lower ends made so far with their nodes.
struct BuiltNodes {
    std::vector<std::unique_ptr<EntryTree::Leaf>> leaves;
    std::vector<std::vector<std::unique_ptr<EntryTree::Inner>>> levels;

    BuiltNodes() = default;
    BuiltNodes(const BuiltNodes&) = delete;
    BuiltNodes& operator=(const BuiltNodes&) = delete;
    ~BuiltNodes()
    {
        for (auto& level : levels) {
            for (auto& inner : level) {
                for (std::uint32_t c = 1; inner && c < inner->count; ++c) {
                    inner->lows[c].key.Free();
                }
            }
        }
    }

    // Every node now belongs to the tree.
    void Release() noexcept
    {
        for (auto& leaf : leaves) {
            leaf.release();
        }
        for (auto& level : levels) {
            for (auto& inner : level) {
                inner.release();
            }
        }
    }
};

// One level of inner nodes over the nodes below, whose first entries have the ordinals
// `firsts`; `firsts` becomes the ordinals of the new nodes' first entries. A lower end is a
// copy of the key of its child's first entry.
void AddLevel(const std::vector<Entry>& entries, std::vector<std::size_t>& firsts, BuiltNodes& nodes)
{
    const std::size_t below = firsts.size();
    auto& level = nodes.levels.emplace_back((below + kInnerCapacity - 1) / kInnerCapacity);
    std::vector<std::size_t> levelFirsts(level.size());
    for (std::size_t n = 0; n < level.size(); ++n) {
        level[n] = MakeNode<EntryTree::Inner>();
        EntryTree::Inner& inner = *level[n];
        const std::size_t begin = n * kInnerCapacity;
        const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(kInnerCapacity, below - begin));
        levelFirsts[n] = firsts[begin];
        for (std::uint32_t c = 1; c < count; ++c) {
            const Entry& lowest = entries[firsts[begin + c]];
            inner.lows[c] = Separator{StoredKey::Of(lowest.key.View()), lowest.sequence};
            inner.count = c + 1; // the lower ends made so far, for the clean-up
        }
        inner.count = count;
    }
    firsts = std::move(levelFirsts);
}

void FillLeaves(const std::vector<Entry>& entries, const BuiltNodes& nodes) noexcept
{
    const auto& leaves = nodes.leaves;
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        EntryTree::Leaf* leaf = leaves[i].get();
        const std::size_t begin = i * kLeafCapacity;
        leaf->count = static_cast<std::uint32_t>(std::min<std::size_t>(kLeafCapacity, entries.size() - begin));
        std::memcpy(static_cast<void*>(leaf->entries), &entries[begin], leaf->count * sizeof(Entry));
        leaf->previous = i > 0 ? leaves[i - 1].get() : nullptr;
        leaf->next = i + 1 < leaves.size() ? leaves[i + 1].get() : nullptr;
    }
}

void LinkLevels(const BuiltNodes& nodes) noexcept
{
    const auto& levels = nodes.levels;
    for (std::size_t k = 0; k < levels.size(); ++k) {
        for (std::size_t n = 0; n < levels[k].size(); ++n) {
            EntryTree::Inner* inner = levels[k][n].get();
            for (std::uint32_t c = 0; c < inner->count; ++c) {
                const std::size_t child = n * kInnerCapacity + c;
                inner->children[c] = k == 0 ? static_cast<EntryTree::Node*>(nodes.leaves[child].get())
                                            : levels[k - 1][child].get();
                inner->children[c]->parent = inner;
            }
        }
    }
}

} // namespace

EntryTree EntryTree::Build(const std::vector<Entry>& entries, CompareMode mode)
{
    EntryTree tree(mode);
    if (entries.empty()) {
        return tree;
    }
    // Every node first, each level with the ordinal of its first entry per node.
    BuiltNodes nodes;
    nodes.leaves.resize((entries.size() + kLeafCapacity - 1) / kLeafCapacity);
    for (auto& leaf : nodes.leaves) {
        leaf = MakeNode<Leaf>();
    }
    std::vector<std::size_t> firsts(nodes.leaves.size());
    for (std::size_t i = 0; i < firsts.size(); ++i) {
        firsts[i] = i * kLeafCapacity;
    }
    while (firsts.size() > 1) {
        AddLevel(entries, firsts, nodes);
    }

    // Nothing throws from here: the entries go into the leaves and the nodes are linked.
    FillLeaves(entries, nodes);
    LinkLevels(nodes);
    tree.root_ = nodes.levels.empty() ? static_cast<Node*>(nodes.leaves.front().get())
                                      : nodes.levels.back().front().get();
    tree.first_ = nodes.leaves.front().get();
    tree.last_ = nodes.leaves.back().get();
    tree.size_ = entries.size();
    tree.leaves_ = nodes.leaves.size();
    nodes.Release();
    return tree;
}

} // namespace korvo
