// The stress driver: long runs of hostile use that end with exact checks and a line of
// figures. One program for both builds (natively over the members, on Windows over the
// DLL's COM object); ctest runs short versions, `./run stress` the long ones.
//
//   stress_driver mixed <threads> <operations per thread> <scratch folder>
//       Threads of mixed operations on one named store, through objects of their own and
//       one object they share; each thread's own keys and a counter raised under the lock
//       are checked exactly at the end.
//   stress_driver lock <processes> <cycles> <counter file>
//       Processes (this one and its children) raising a number in a file under the lock of
//       one named store; the file ends with processes x cycles.
//   stress_driver cycles <count>
//       Objects made, used (items, a Dictionary as an item, enumerators and clones) and
//       released; the working set must stay flat and the module unloadable at the end.
//
// A watchdog ends the run with exit code 3 when no operation completes for a minute.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dictionary_adapter.h"
#include "process_tools.h"

namespace korvo::stress {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

std::atomic<unsigned long long> progress{0};
std::atomic<bool> finished{false};

void StartWatchdog()
{
    std::thread([] {
        unsigned long long seen = progress.load();
        int quietSeconds = 0;
        while (!finished.load()) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const unsigned long long now = progress.load();
            quietSeconds = now == seen ? quietSeconds + 1 : 0;
            seen = now;
            if (quietSeconds >= 60) {
                std::printf("watchdog: no operation completed for %d s: hung\n", quietSeconds);
                std::fflush(stdout);
                std::_Exit(3);
            }
        }
    }).detach();
}

std::atomic<long> failures{0};

void Fail(const std::string& what)
{
    if (failures.fetch_add(1) < 20) {
        std::printf("FAIL: %s\n", what.c_str());
        std::fflush(stdout);
    }
}

void Expect(bool condition, const std::string& what)
{
    if (!condition) {
        Fail(what);
    }
}

VARIANT Integer(LONG value)
{
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_I4;
    V_I4(&item) = value;
    return item;
}

LONG IntegerOf(Dictionary& dictionary, const std::string& key)
{
    VARIANT item;
    VariantInit(&item);
    const HRESULT read = dictionary.GetItem(key, item);
    LONG value = -1;
    if (SUCCEEDED(read) && V_VT(&item) == VT_I4) {
        value = V_I4(&item);
    }
    VariantClear(&item);
    return value;
}

std::vector<std::string> KeysOf(Dictionary& dictionary)
{
    std::vector<std::string> keys;
    VARIANT array;
    VariantInit(&array);
    if (FAILED(dictionary.Keys(array))) {
        return keys;
    }
    LONG upper = -1;
    SafeArrayGetUBound(V_ARRAY(&array), 1, &upper);
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(V_ARRAY(&array), &data))) {
        const auto* elements = static_cast<const VARIANT*>(data);
        for (LONG i = 0; i <= upper; ++i) {
            const BSTR text = V_BSTR(&elements[i]);
            keys.emplace_back(text, text + SysStringLen(text));
        }
        SafeArrayUnaccessData(V_ARRAY(&array));
    }
    VariantClear(&array);
    return keys;
}

// --- mixed ---------------------------------------------------------------------------------

// Each thread holds at most this many keys: the run then measures operations at a steady
// store size, not ever longer walks of an ever larger store.
constexpr std::size_t kKeysPerThread = 256;

struct ThreadResult {
    std::map<std::string, LONG> keys; // this thread's keys with their one item
    long increments = 0;
};

class Worker {
public:
    Worker(int index, std::shared_ptr<Dictionary> dictionary, std::string folder, long operations)
        : index_(index), prefix_("t" + std::to_string(index) + "-"), dictionary_(std::move(dictionary)),
          folder_(std::move(folder)), operations_(operations), random_(static_cast<unsigned>(index) * 7919u + 17u)
    {}

    void Run(ThreadResult& result)
    {
        EnterThread();
        for (long n = 0; n < operations_; ++n) {
            Step(n, result);
            progress.fetch_add(1, std::memory_order_relaxed);
        }
        LeaveThread();
    }

private:
    std::string AnyKey(const ThreadResult& result)
    {
        auto entry = result.keys.begin();
        std::advance(entry, static_cast<long>(random_() % result.keys.size()));
        return entry->first;
    }

    void Step(long n, ThreadResult& result)
    {
        Dictionary& d = *dictionary_;
        auto& keys = result.keys;
        unsigned choice = keys.empty() ? 0 : random_() % 14;
        if (choice <= 1 && keys.size() >= kKeysPerThread) {
            choice = 5; // a full thread removes instead, so the walks of Keys, Save and RemoveAll stay short
        }
        const std::string where = prefix_ + " step " + std::to_string(n) + " op " + std::to_string(choice);
        switch (choice) {
        case 0:
        case 1: { // Add a new key, now and then one that RemoveAll will take
            const std::string key = prefix_ + (random_() % 8 == 0 ? "x" : "") + std::to_string(n);
            VARIANT item = Integer(static_cast<LONG>(n));
            Expect(d.Add(key, item) == S_OK, where + ": Add");
            keys[key] = static_cast<LONG>(n);
            break;
        }
        case 2: { // Item put
            const std::string key = AnyKey(result);
            VARIANT item = Integer(static_cast<LONG>(n));
            Expect(d.PutItem(key, item) == S_OK, where + ": Item put");
            keys[key] = static_cast<LONG>(n);
            break;
        }
        case 3: { // Item get
            const std::string key = AnyKey(result);
            Expect(IntegerOf(d, key) == keys[key], where + ": Item get of " + key);
            break;
        }
        case 4: { // Exists, of a key that is there and one that is not
            VARIANT_BOOL found = VARIANT_FALSE;
            Expect(d.Exists(AnyKey(result), found) == S_OK && found != VARIANT_FALSE, where + ": Exists");
            Expect(d.Exists(prefix_ + "never", found) == S_OK && found == VARIANT_FALSE, where + ": Exists absent");
            break;
        }
        case 5: { // Remove
            const std::string key = AnyKey(result);
            Expect(d.Remove(key) == S_OK, where + ": Remove");
            keys.erase(key);
            break;
        }
        case 6: { // Key put: a new name for one key
            const std::string key = AnyKey(result);
            const std::string renamed = prefix_ + "r" + std::to_string(n);
            Expect(d.Rename(key, renamed) == S_OK, where + ": Key put");
            keys[renamed] = keys[key];
            keys.erase(key);
            break;
        }
        case 7: { // Count and ItemsCount
            LONG count = 0;
            Expect(d.Count(AnyKey(result), count) == S_OK && count == 1, where + ": Count");
            Expect(d.ItemsCount(count) == S_OK && count >= static_cast<LONG>(keys.size()), where + ": ItemsCount");
            break;
        }
        case 8: { // RemoveAll with a pattern: this thread's x keys
            Expect(d.RemoveAll("^" + prefix_ + "x") == S_OK, where + ": RemoveAll");
            std::erase_if(keys, [&](const auto& entry) { return entry.first.rfind(prefix_ + "x", 0) == 0; });
            break;
        }
        case 9: { // Keys
            Expect(!KeysOf(d).empty(), where + ": Keys");
            break;
        }
        case 10: { // _NewEnum, Next, Clone
            ComPtr<IUnknown> unknown;
            ComPtr<IEnumVARIANT> enumerator;
            if (d.NewEnum(unknown) != S_OK || FAILED(unknown.As(IID_IEnumVARIANT, enumerator))) {
                Fail(where + ": _NewEnum");
                break;
            }
            VARIANT row[4];
            ULONG fetched = 0;
            for (VARIANT& element : row) {
                VariantInit(&element);
            }
            Expect(SUCCEEDED(enumerator->Next(4, row, &fetched)), where + ": Next");
            for (ULONG i = 0; i < fetched; ++i) {
                VariantClear(&row[i]);
            }
            ComPtr<IEnumVARIANT> clone;
            Expect(enumerator->Clone(clone.put()) == S_OK, where + ": Clone");
            break;
        }
        case 11: { // Save this thread's keys to a file of its own and Load them elsewhere
            const std::string file = folder_ + "/stress-" + std::to_string(index_) + ".dic";
            Expect(d.Save(file, "^" + prefix_) == S_OK, where + ": Save");
            auto loaded = Dictionary::Create();
            LONG count = -1;
            Expect(loaded && loaded->Load(file) == S_OK && loaded->ItemsCount(count) == S_OK &&
                       count == static_cast<LONG>(keys.size()),
                   where + ": Load of " + file);
            break;
        }
        case 12: { // the process-wide compare mode; every key is lower case, so no key changes
            Expect(d.PutCompareMode(static_cast<LONG>(random_() % 2)) == S_OK, where + ": CompareMode");
            break;
        }
        case 13: { // a read-modify-write under the lock
            if (d.Lock(-1) != S_OK) {
                Fail(where + ": Lock");
                break;
            }
            const LONG counter = IntegerOf(d, "counter");
            VARIANT next = Integer(counter + 1);
            Expect(counter >= 0 && d.PutItem("counter", next) == S_OK, where + ": counter");
            Expect(d.UnLock() == S_OK, where + ": UnLock");
            ++result.increments;
            break;
        }
        default:
            break;
        }
    }

    int index_;
    std::string prefix_;
    std::shared_ptr<Dictionary> dictionary_;
    std::string folder_;
    long operations_;
    std::minstd_rand random_;
};

int Mixed(int threads, long operations, const std::string& folder)
{
    const std::string name = "stress-mixed-" + std::to_string(GetCurrentProcessId());
    EnterThread();
    auto shared = Dictionary::Create();
    Expect(shared && shared->Connect(name) == S_OK, "the shared object connects");
    VARIANT zero = Integer(0);
    Expect(shared->Add("counter", zero) == S_OK, "the counter");

    std::vector<ThreadResult> results(static_cast<std::size_t>(threads));
    std::vector<std::thread> running;
    const auto started = std::chrono::steady_clock::now();
    for (int t = 0; t < threads; ++t) {
        // Even threads work through an object of their own, odd ones through the shared one.
        std::shared_ptr<Dictionary> dictionary = shared;
        if (t % 2 == 0) {
            dictionary = Dictionary::Create();
            Expect(dictionary && dictionary->Connect(name) == S_OK, "an object of its own connects");
        }
        running.emplace_back([&, t, dictionary] {
            Worker(t, dictionary, folder, operations).Run(results[static_cast<std::size_t>(t)]);
        });
    }
    for (auto& thread : running) {
        thread.join();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    // Every thread's keys, exactly, and the counter.
    long increments = 0;
    std::size_t expectedItems = 1;
    const auto stored = KeysOf(*shared);
    for (int t = 0; t < threads; ++t) {
        const ThreadResult& result = results[static_cast<std::size_t>(t)];
        increments += result.increments;
        expectedItems += result.keys.size();
        const std::string prefix = "t" + std::to_string(t) + "-";
        std::vector<std::string> own;
        for (const auto& key : stored) {
            if (key.rfind(prefix, 0) == 0) {
                own.push_back(key);
            }
        }
        Expect(own.size() == result.keys.size(),
               prefix + " holds " + std::to_string(own.size()) + " keys, not " + std::to_string(result.keys.size()));
        for (const auto& [key, value] : result.keys) {
            Expect(IntegerOf(*shared, key) == value, prefix + " key " + key);
        }
    }
    LONG items = 0;
    shared->ItemsCount(items);
    Expect(items == static_cast<LONG>(expectedItems),
           "items " + std::to_string(items) + " of " + std::to_string(expectedItems));
    Expect(IntegerOf(*shared, "counter") == increments, "the counter ends at " +
                                                            std::to_string(IntegerOf(*shared, "counter")) + ", not " +
                                                            std::to_string(increments));
    shared->RemoveAll("");
    std::printf("mixed: %d threads x %ld operations in %.2f s (%.0f operations/s), %ld locked increments, "
                "%ld items left, %ld failures\n",
                threads, operations, seconds, threads * operations / seconds, increments,
                static_cast<long>(expectedItems), failures.load());
    shared.reset();
    LeaveThread();
    return failures.load() == 0 ? 0 : 1;
}

// --- lock ----------------------------------------------------------------------------------

long ReadCounter(const std::string& file)
{
    std::ifstream in(file);
    long value = -1;
    in >> value;
    return value;
}

void WriteCounter(const std::string& file, long value)
{
    std::ofstream out(file, std::ios::trunc);
    out << value << '\n';
}

// Raises the counter `cycles` times, each a read-modify-write of the file under the lock.
int LockCycles(const std::string& name, long cycles, const std::string& file)
{
    EnterThread();
    auto d = Dictionary::Create();
    Expect(d && d->Connect(name) == S_OK, "connect");
    for (long n = 0; n < cycles && failures.load() == 0; ++n) {
        if (d->Lock(-1) != S_OK) {
            Fail("Lock in cycle " + std::to_string(n));
            break;
        }
        const long value = ReadCounter(file);
        Expect(value >= 0, "the counter file reads");
        WriteCounter(file, value + 1);
        Expect(d->UnLock() == S_OK, "UnLock in cycle " + std::to_string(n));
        progress.fetch_add(1, std::memory_order_relaxed);
    }
    d.reset();
    LeaveThread();
    return failures.load() == 0 ? 0 : 1;
}

int Lock(int processes, long cycles, const std::string& file)
{
    const std::string name = "stress-lock-" + std::to_string(GetCurrentProcessId());
    WriteCounter(file, 0);
    const auto started = std::chrono::steady_clock::now();
    std::vector<ChildProcess> children;
    for (int p = 1; p < processes; ++p) {
        children.emplace_back(std::vector<std::string>{"lock-child", name, std::to_string(cycles), file});
        Expect(children.back().Started(), "child " + std::to_string(p) + " starts");
    }
    int status = LockCycles(name, cycles, file);
    for (auto& child : children) {
        const int code = child.Wait();
        Expect(code == 0, "a child ended with " + std::to_string(code));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const long value = ReadCounter(file);
    Expect(value == processes * cycles,
           "the counter ends at " + std::to_string(value) + ", not " + std::to_string(processes * cycles));
    std::printf("lock: %d processes x %ld cycles in %.2f s (%.0f cycles/s), counter %ld, %ld failures\n", processes,
                cycles, seconds, processes * cycles / seconds, value, failures.load());
    return status == 0 && failures.load() == 0 ? 0 : 1;
}

// --- cycles --------------------------------------------------------------------------------

void OneCycle(long n)
{
    auto d = Dictionary::Create();
    if (!d) {
        Fail("no object in cycle " + std::to_string(n));
        return;
    }
    VARIANT number = Integer(static_cast<LONG>(n));
    d->Add("number", number);
    VARIANT text;
    VariantInit(&text);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(OLESTR("a string that is copied into the store and out again"));
    d->Add("text", text);
    VariantClear(&text);
    if (auto held = Dictionary::Create()) {
        VARIANT item;
        held->AsItem(item);
        d->Add("held", item);
        VariantClear(&item);
    }
    ComPtr<IUnknown> unknown;
    ComPtr<IEnumVARIANT> enumerator;
    if (d->NewEnum(unknown) == S_OK && SUCCEEDED(unknown.As(IID_IEnumVARIANT, enumerator))) {
        VARIANT element;
        VariantInit(&element);
        enumerator->Next(1, &element, nullptr);
        VariantClear(&element);
        ComPtr<IEnumVARIANT> clone;
        if (enumerator->Clone(clone.put()) == S_OK) {
            clone->Next(1, &element, nullptr);
            VariantClear(&element);
        }
    }
    progress.fetch_add(1, std::memory_order_relaxed);
}

int Cycles(long count)
{
    EnterThread();
    const long warmUp = std::max(count / 20, 1L);
    for (long n = 0; n < warmUp; ++n) {
        OneCycle(n);
    }
    const std::size_t early = WorkingSetBytes();
    const auto started = std::chrono::steady_clock::now();
    for (long n = warmUp; n < count; ++n) {
        OneCycle(n);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::size_t late = WorkingSetBytes();
    const double grownMiB = (static_cast<double>(late) - static_cast<double>(early)) / (1024.0 * 1024.0);
    // Flat: what is left after the warm-up stays within a few pages of the allocator's slack.
    // Under a sanitizer the runtime keeps freed memory on purpose; there it is not checked.
    if (!kSanitized) {
        Expect(grownMiB < 4.0, "the working set grew by " + std::to_string(grownMiB) + " MiB");
    }
    const bool unloadable = ModuleCanUnload();
    Expect(unloadable, "the module cannot be unloaded at the end");
    std::printf("cycles: %ld create/use/release cycles in %.2f s (%.0f/s), working set %.1f MiB after warm-up, "
                "%+.2f MiB at the end, unloadable %s, %ld failures\n",
                count, seconds, (count - warmUp) / seconds, early / (1024.0 * 1024.0), grownMiB,
                unloadable ? "yes" : "no", failures.load());
    LeaveThread();
    return failures.load() == 0 ? 0 : 1;
}

int Usage()
{
    std::printf("usage: stress_driver mixed <threads> <operations> <folder> | lock <processes> <cycles> <file> | "
                "cycles <count>\n");
    return 2;
}

} // namespace
} // namespace korvo::stress

int main(int argc, char** argv)
{
    using namespace korvo::stress;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        return Usage();
    }
    if (!StartModule()) {
        std::printf("the module does not start\n");
        return 2;
    }
    StartWatchdog();
    int status = 2;
    const std::string& mode = arguments[0];
    if (mode == "mixed" && arguments.size() == 4) {
        status = Mixed(std::stoi(arguments[1]), std::stol(arguments[2]), PlatformPath(arguments[3]));
    } else if (mode == "lock" && arguments.size() == 4) {
        status = Lock(std::stoi(arguments[1]), std::stol(arguments[2]), PlatformPath(arguments[3]));
    } else if (mode == "lock-child" && arguments.size() == 4) {
        status = LockCycles(arguments[1], std::stol(arguments[2]), arguments[3]);
    } else if (mode == "cycles" && arguments.size() == 2) {
        status = Cycles(std::stol(arguments[1]));
    } else {
        status = Usage();
    }
    finished = true;
    StopModule();
    std::fflush(stdout);
    return status;
}
