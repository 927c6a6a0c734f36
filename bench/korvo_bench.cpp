// The native measurements behind `./run bench`: each mode prints its figures as lines
// "figure <name> <value> <unit>" for the report, with a readable line before them.
//
//   korvo_bench work store|multimap <keys>   Add and one lookup of each of <keys> distinct keys,
//                                            in the store or in a raw std::multimap (run under
//                                            callgrind: the functions named Measured* are the
//                                            work counted)
//   korvo_bench memory <keys>                bytes a store and a raw std::multimap take per item
//   korvo_bench persist <keys> <folder>      Save and Load of small items against one raw
//                                            write and read of the same bytes, and the share of
//                                            Save's time the store is held
//   korvo_bench contention <milliseconds>    readers' throughput on one named store while
//                                            another thread Saves it, against without
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "members/items.h"
#include "members/persistence.h"
#include "members/sharing.h"
#include "platform/unique_bstr.h"
#include "share/local_store.h"
#include "share/named_store_registry.h"

namespace korvo::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Figure(const char* name, double value, const char* unit)
{
    std::printf("figure %s %.6g %s\n", name, value, unit);
}

// Distinct keys scattered over the key space, so insertions land all over the container.
std::vector<std::u16string> MakeKeys(std::size_t count)
{
    std::vector<std::u16string> keys;
    keys.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string text = "key-" + std::to_string((i * 2654435761u) % 10000019u);
        keys.emplace_back(text.begin(), text.end());
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    // Back to a scattered order.
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        std::swap(keys[i], keys[i + (i * 7919u) % (keys.size() - i)]);
    }
    return keys;
}

KeyView View(const std::u16string& key)
{
    return KeyView(reinterpret_cast<const OLECHAR*>(key.data()), key.size());
}

VARIANT Integer(LONG value)
{
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_I4;
    V_I4(&item) = value;
    return item;
}

// --- work ---------------------------------------------------------------------------------

[[gnu::noinline]] long MeasuredStoreWork(LocalStore& store, const std::vector<std::u16string>& keys)
{
    long found = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        VARIANT item = Integer(static_cast<LONG>(i));
        store.Add(View(keys[i]), item, true);
    }
    for (const auto& key : keys) {
        VARIANT out;
        VariantInit(&out);
        store.GetItem(View(key), out);
        found += V_VT(&out) == VT_I4;
        VariantClear(&out);
    }
    return found;
}

using RawMap = std::multimap<std::u16string, VARIANT>;

[[gnu::noinline]] long MeasuredMultimapWork(RawMap& map, const std::vector<std::u16string>& keys)
{
    long found = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        VARIANT item = Integer(static_cast<LONG>(i));
        if (map.find(keys[i]) != map.end()) {
            continue; // a unique key refused
        }
        VARIANT copy;
        VariantInit(&copy);
        VariantCopy(&copy, &item);
        map.emplace(keys[i], copy);
    }
    for (const auto& key : keys) {
        const auto entry = map.find(key);
        VARIANT out;
        VariantInit(&out);
        if (entry != map.end()) {
            VariantCopy(&out, &entry->second);
        }
        found += V_VT(&out) == VT_I4;
        VariantClear(&out);
    }
    return found;
}

int Work(const std::string& kind, std::size_t count)
{
    const auto keys = MakeKeys(count);
    long found = 0;
    if (kind == "store") {
        LocalStore store;
        found = MeasuredStoreWork(store, keys);
    } else {
        RawMap map;
        found = MeasuredMultimapWork(map, keys);
        for (auto& [key, item] : map) {
            VariantClear(&item);
        }
    }
    std::printf("work %s: %zu keys added and found %ld times\n", kind.c_str(), keys.size(), found);
    return found == static_cast<long>(keys.size()) ? 0 : 1;
}

// --- memory -------------------------------------------------------------------------------

std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

int Memory(std::size_t count)
{
    const auto keys = MakeKeys(count);
    double storeBytes = 0;
    double mapBytes = 0;
    {
        const std::size_t before = HeapInUse();
        LocalStore store;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            VARIANT item = Integer(static_cast<LONG>(i));
            store.Add(View(keys[i]), item, true);
        }
        storeBytes = static_cast<double>(HeapInUse() - before) / static_cast<double>(keys.size());
    }
    {
        const std::size_t before = HeapInUse();
        RawMap map;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            map.emplace(keys[i], Integer(static_cast<LONG>(i)));
        }
        mapBytes = static_cast<double>(HeapInUse() - before) / static_cast<double>(keys.size());
    }
    std::printf("memory: %zu items of %zu-unit keys: store %.1f B/item, raw multimap %.1f B/item\n", keys.size(),
                keys.front().size(), storeBytes, mapBytes);
    Figure("memory.store", storeBytes, "B/item");
    Figure("memory.multimap", mapBytes, "B/item");
    return 0;
}

// --- persist ------------------------------------------------------------------------------

UniqueBstr Text(const std::string& ascii)
{
    const std::basic_string<OLECHAR> wide(ascii.begin(), ascii.end());
    return UniqueBstr::CopyOf(wide.data(), static_cast<UINT>(wide.size()));
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What Save holds the store for, seen from outside: the longest call another thread makes
// on the store while a Save runs (the prober pauses between calls, so it takes little of
// the Save's processor time).
double ProbedSave(ObjectState& object, BSTR path, const std::u16string& someKey)
{
    std::atomic<bool> probing{true};
    std::atomic<bool> saving{false};
    double longestStall = 0;
    std::thread probe([&] {
        const auto key = Text(std::string(someKey.begin(), someKey.end()));
        while (probing.load()) {
            const auto started = Clock::now();
            VARIANT_BOOL found = VARIANT_FALSE;
            members::Exists(object, key.get(), &found);
            if (saving.load()) {
                longestStall = std::max(longestStall, Seconds(started));
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    saving = true;
    members::Save(object, path, VARIANT_FALSE, nullptr);
    saving = false;
    probing = false;
    probe.join();
    return longestStall;
}

int Persist(std::size_t count, const std::string& folder)
{
    const auto keys = MakeKeys(count);
    ObjectState object;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        VARIANT item = Integer(static_cast<LONG>(i));
        members::Add(object, Text(std::string(keys[i].begin(), keys[i].end())).get(), &item);
    }
    const std::string file = folder + "/bench.dic";
    const std::string raw = folder + "/raw.bin";
    const auto path = Text(file);
    std::vector<double> saves;
    std::vector<double> loads;
    std::vector<double> writes;
    std::vector<double> reads;
    std::vector<double> held;
    std::size_t bytes = 0;
    for (int round = 0; round < 3; ++round) {
        auto started = Clock::now();
        if (const HRESULT saved = members::Save(object, path.get(), VARIANT_FALSE, nullptr); FAILED(saved)) {
            std::fprintf(stderr, "persist: Save to %s failed with 0x%08lX (does the folder exist?)\n", file.c_str(),
                         static_cast<unsigned long>(static_cast<std::uint32_t>(saved)));
            return 1;
        }
        saves.push_back(Seconds(started));
        held.push_back(ProbedSave(object, path.get(), keys.front()));
        std::ifstream saved(file, std::ios::binary | std::ios::ate);
        bytes = static_cast<std::size_t>(saved.tellg());

        std::vector<char> content(bytes, 'x');
        started = Clock::now();
        {
            std::FILE* out = std::fopen(raw.c_str(), "wb");
            std::fwrite(content.data(), 1, content.size(), out);
            std::fflush(out);
            fsync(fileno(out));
            std::fclose(out);
        }
        writes.push_back(Seconds(started));

        ObjectState loaded;
        started = Clock::now();
        members::Load(loaded, path.get(), nullptr);
        loads.push_back(Seconds(started));

        started = Clock::now();
        {
            std::FILE* in = std::fopen(raw.c_str(), "rb");
            std::vector<char> back(bytes);
            const std::size_t got = std::fread(back.data(), 1, back.size(), in);
            std::fclose(in);
            if (got != bytes) {
                return 1;
            }
        }
        reads.push_back(Seconds(started));
    }
    const double save = Median(saves);
    const double load = Median(loads);
    const double write = Median(writes);
    const double read = Median(reads);
    std::printf("persist: %zu items, %zu bytes: Save %.3f s (raw write %.3f s), Load %.3f s (raw read %.3f s), "
                "the store held at most %.3f s at a time\n",
                keys.size(), bytes, save, write, load, read, Median(held));
    Figure("persist.save_vs_write", save / write, "x");
    Figure("persist.load_vs_read", load / read, "x");
    Figure("persist.held_share", Median(held) / save, "of Save");
    Figure("persist.save_seconds", save, "s");
    Figure("persist.load_seconds", load, "s");
    return 0;
}

// --- contention ---------------------------------------------------------------------------

long ReadFor(int milliseconds, int threads, const std::string& name, const std::vector<std::u16string>& keys)
{
    std::atomic<long> operations{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> readers;
    for (int t = 0; t < threads; ++t) {
        readers.emplace_back([&, t] {
            ObjectState reader;
            members::Connect(reader, Text(name).get(), nullptr);
            std::vector<UniqueBstr> texts;
            for (std::size_t i = static_cast<std::size_t>(t); i < keys.size(); i += 97) {
                texts.push_back(Text(std::string(keys[i].begin(), keys[i].end())));
            }
            long done = 0;
            for (std::size_t i = 0; !stop.load(std::memory_order_relaxed); ++i) {
                const BSTR key = texts[i % texts.size()].get();
                VARIANT_BOOL found = VARIANT_FALSE;
                members::Exists(reader, key, &found);
                VARIANT item;
                VariantInit(&item);
                members::GetItem(reader, key, &item);
                VariantClear(&item);
                done += 2;
            }
            operations += done;
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    stop = true;
    for (auto& reader : readers) {
        reader.join();
    }
    return operations.load();
}

int Contention(int milliseconds, const std::string& folder)
{
    const std::string name = "bench-contention";
    const auto keys = MakeKeys(1000000);
    ObjectState owner;
    members::Connect(owner, Text(name).get(), nullptr);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        VARIANT item = Integer(static_cast<LONG>(i));
        members::Add(owner, Text(std::string(keys[i].begin(), keys[i].end())).get(), &item);
    }
    const long alone = ReadFor(milliseconds, 4, name, keys);
    std::atomic<bool> saving{true};
    long saves = 0;
    std::thread saver([&] {
        const auto path = Text(folder + "/contention.dic");
        while (saving.load()) {
            members::Save(owner, path.get(), VARIANT_FALSE, nullptr);
            ++saves;
        }
    });
    const long during = ReadFor(milliseconds, 4, name, keys);
    saving = false;
    saver.join();
    std::printf("contention: 4 readers, 1M items: %ld reads alone, %ld while %ld Saves ran (%d ms each)\n", alone,
                during, saves, milliseconds);
    Figure("contention.during_vs_alone", static_cast<double>(during) / static_cast<double>(alone), "of alone");
    return 0;
}

} // namespace
} // namespace korvo::bench

int main(int argc, char** argv)
{
    using namespace korvo::bench;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!korvo::StartNamedStoreRegistry()) {
        return 2;
    }
    int status = 2;
    if (arguments.size() == 3 && arguments[0] == "work") {
        status = Work(arguments[1], std::stoul(arguments[2]));
    } else if (arguments.size() == 2 && arguments[0] == "memory") {
        status = Memory(std::stoul(arguments[1]));
    } else if (arguments.size() == 3 && arguments[0] == "persist") {
        status = Persist(std::stoul(arguments[1]), arguments[2]);
    } else if (arguments.size() == 3 && arguments[0] == "contention") {
        status = Contention(std::stoi(arguments[1]), arguments[2]);
    } else {
        std::printf("usage: korvo_bench work store|multimap <keys> | memory <keys> | persist <keys> <folder> | "
                    "contention <milliseconds> <folder>\n");
    }
    korvo::StopNamedStoreRegistry();
    return status;
}
