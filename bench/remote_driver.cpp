// Remote named stores against the server's round-trip floor, for `./run bench`: calls per
// second of Add, Item get and Exists on a store under a configured prefix, and of PING on
// the same client, one call at a time from one thread. Each member is one round trip, so
// its figure is its time per call over PING's (goal: at most 1.5). The Windows build, run
// under Wine, gives the round-trip floor that the script-level remote figures are held to.
//
//   remote_driver <port> <calls> <label>   a redis-server on 127.0.0.1:<port>; the figures
//                                          are named remote.<label>.*
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "members/items.h"
#include "members/persistence.h"
#include "members/sharing.h"
#include "platform/unique_bstr.h"
#include "remote/connection_pool.h"
#include "share/named_store_registry.h"

namespace korvo::bench {
namespace {

using Clock = std::chrono::steady_clock;

UniqueBstr Text(const std::string& ascii)
{
    const std::u16string wide(ascii.begin(), ascii.end());
    return UniqueBstr::CopyOf(reinterpret_cast<const OLECHAR*>(wide.data()), static_cast<UINT>(wide.size()));
}

void SetEnvironment(const char* name, const std::string& value)
{
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// Seconds per call of `call`, which fails the run by returning a failed HRESULT.
template <class Call>
double PerCall(int calls, Call&& call)
{
    const auto start = Clock::now();
    for (int i = 0; i < calls; ++i) {
        if (const HRESULT failed = call(i); FAILED(failed)) {
            std::fprintf(stderr, "call %d failed: %08lX\n", i, static_cast<unsigned long>(failed));
            std::exit(1);
        }
    }
    return std::chrono::duration<double>(Clock::now() - start).count() / calls;
}

int Run(std::uint16_t port, int calls, const std::string& label)
{
    remote::ServerSettings server;
    server.port = port;
    remote::ConnectionPool pool(server);
    remote::Request ping;
    if (FAILED(ping.Add({"PING"}))) {
        return 2;
    }
    // The round trip of this machine varies from pass to pass (a first pass is sometimes
    // several times faster than any later one), so PING runs before, between and after the
    // member passes, and the floor is the middle one of the three.
    std::vector<double> pings;
    const auto pingPass = [&] {
        pings.push_back(PerCall(calls, [&](int) {
            std::vector<remote::Reply> replies;
            return pool.Execute(ping, replies).code;
        }));
    };
    pingPass();

    const auto configuration = std::filesystem::temp_directory_path() / "korvo-remote-bench.ini";
    std::ofstream(configuration) << "[bench:]\nHost = 127.0.0.1\nPort = " << port << "\n";
    SetEnvironment("KORVO_REMOTE_STORES", configuration.string());
    ObjectState object;
    const UniqueBstr name = Text("bench:store-" + std::to_string(std::random_device{}()));
    if (FAILED(members::Connect(object, name.get(), nullptr))) {
        std::fprintf(stderr, "no connection to the server on port %u\n", port);
        return 1;
    }
    std::vector<UniqueBstr> keys;
    for (int i = 0; i < calls; ++i) {
        keys.push_back(Text("key-" + std::to_string(i)));
    }
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_I4;
    const double add = PerCall(calls, [&](int i) {
        V_I4(&item) = i;
        return members::Add(object, keys[static_cast<std::size_t>(i)].get(), &item);
    });
    pingPass();
    const double get = PerCall(calls, [&](int i) {
        VARIANT read;
        VariantInit(&read);
        const HRESULT got = members::GetItem(object, keys[static_cast<std::size_t>(i)].get(), &read);
        VariantClear(&read);
        return got;
    });
    const double exists = PerCall(calls, [&](int i) {
        VARIANT_BOOL found = VARIANT_FALSE;
        return members::Exists(object, keys[static_cast<std::size_t>(i)].get(), &found);
    });
    pingPass();
    std::sort(pings.begin(), pings.end());
    const double floor = pings[1];
    members::RemoveAll(object, nullptr);
    std::filesystem::remove(configuration);

    std::printf(
        "  PING %.0f/s (passes %.0f, %.0f, %.0f/s), Add %.0f/s, Item get %.0f/s, Exists %.0f/s (%d calls each)\n",
        1 / floor, 1 / pings[0], 1 / pings[1], 1 / pings[2], 1 / add, 1 / get, 1 / exists, calls);
    const char* named = label.c_str();
    std::printf("figure remote.%s.ping_per_second %.6g /s\n", named, 1 / floor);
    std::printf("figure remote.%s.Add_vs_ping %.6g x\n", named, add / floor);
    std::printf("figure remote.%s.ItemGet_vs_ping %.6g x\n", named, get / floor);
    std::printf("figure remote.%s.Exists_vs_ping %.6g x\n", named, exists / floor);
    return 0;
}

} // namespace
} // namespace korvo::bench

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::printf("usage: remote_driver <port> <calls> <label>\n");
        return 2;
    }
    if (!korvo::StartNamedStoreRegistry()) {
        return 2;
    }
    const int status = korvo::bench::Run(static_cast<std::uint16_t>(std::atoi(argv[1])), std::atoi(argv[2]), argv[3]);
    korvo::StopNamedStoreRegistry();
    return status;
}
