// Costs of the store members against the container's logarithmic bounds: Add, Exists and
// Remove per key, Keys and Items per store, and the one-off re-sort after a mode change.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "members/items.h"
#include "members/keys_and_modes.h"
#include "share/named_store_registry.h"

namespace {

using korvo::ObjectState;

class OwnedBstr {
public:
    explicit OwnedBstr(const std::string& ascii)
    {
        std::basic_string<OLECHAR> wide(ascii.begin(), ascii.end());
        value_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    OwnedBstr(OwnedBstr&& other) noexcept : value_(other.value_) { other.value_ = nullptr; }
    OwnedBstr(const OwnedBstr&) = delete;
    ~OwnedBstr() { SysFreeString(value_); }
    operator BSTR() const { return value_; }

private:
    BSTR value_ = nullptr;
};

std::vector<OwnedBstr> MakeKeys(std::size_t count)
{
    std::vector<OwnedBstr> keys;
    keys.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        // Scatter the keys so inserts land all over the tree.
        keys.emplace_back("key-" + std::to_string((i * 2654435761u) % 1000003));
    }
    return keys;
}

void Fill(ObjectState& object, const std::vector<OwnedBstr>& keys)
{
    korvo::members::PutUniqueKeys(object, VARIANT_FALSE);
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_I4;
    for (const auto& key : keys) {
        V_I4(&item) = 1;
        korvo::members::Add(object, key, &item);
    }
}

void BM_AddKeys(benchmark::State& state)
{
    const auto keys = MakeKeys(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        ObjectState object;
        Fill(object, keys);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AddKeys)->Range(1 << 10, 1 << 17);

void BM_ExistsHit(benchmark::State& state)
{
    const auto keys = MakeKeys(static_cast<std::size_t>(state.range(0)));
    ObjectState object;
    Fill(object, keys);
    std::size_t next = 0;
    VARIANT_BOOL found = VARIANT_FALSE;
    for (auto _ : state) {
        korvo::members::Exists(object, keys[next], &found);
        benchmark::DoNotOptimize(found);
        next = (next + 1) % keys.size();
    }
}
BENCHMARK(BM_ExistsHit)->Range(1 << 10, 1 << 17);

void BM_KeysListing(benchmark::State& state)
{
    const auto keys = MakeKeys(static_cast<std::size_t>(state.range(0)));
    ObjectState object;
    Fill(object, keys);
    for (auto _ : state) {
        VARIANT listed;
        VariantInit(&listed);
        korvo::members::Keys(object, &listed);
        VariantClear(&listed);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_KeysListing)->Range(1 << 10, 1 << 16);

void BM_ItemsListing(benchmark::State& state)
{
    const auto keys = MakeKeys(static_cast<std::size_t>(state.range(0)));
    ObjectState object;
    Fill(object, keys);
    for (auto _ : state) {
        VARIANT listed;
        VariantInit(&listed);
        korvo::members::Items(object, &listed);
        VariantClear(&listed);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ItemsListing)->Range(1 << 10, 1 << 16);

// The first call after a compare-mode change re-sorts the container once.
void BM_ResortAfterModeChange(benchmark::State& state)
{
    const auto keys = MakeKeys(static_cast<std::size_t>(state.range(0)));
    ObjectState object;
    Fill(object, keys);
    LONG mode = 0;
    for (auto _ : state) {
        mode = 1 - mode;
        korvo::members::PutCompareMode(mode);
        LONG count = 0;
        korvo::members::KeysCount(object, &count);
        benchmark::DoNotOptimize(count);
    }
    korvo::members::PutCompareMode(0);
}
BENCHMARK(BM_ResortAfterModeChange)->Range(1 << 10, 1 << 16);

} // namespace

int main(int argc, char** argv)
{
    korvo::StartNamedStoreRegistry();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    korvo::StopNamedStoreRegistry();
    return 0;
}
