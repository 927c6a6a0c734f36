#include "share/named_store_registry.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "platform/critical_section.h"
#include "platform/hresult_from_exception.h"
#include "platform/machine_settings.h"
#include "remote/store_configuration.h"
#include "share/local_store.h"
#include "share/remote_functions.h"
#include "share/remote_store.h"
#include "share/semaphore_lock.h"

namespace korvo {
namespace {

struct NamedStoreRegistry {
    // RegistryLock: held from the lookup of a name to the storing of its new store; never
    // held together with a store's section.
    CriticalSection registryLock;
    std::map<KeyText, std::shared_ptr<LocalStore>, std::less<>> stores;
    std::map<KeyText, std::shared_ptr<RemoteStore>, std::less<>> remoteStores;
    bool configurationRead = false;
    remote::StoreConfiguration configuration;
    // One pool per server and credentials, shared by its stores; it outlives a new reading
    // of the configuration, so that its back-off still holds a restarting server off.
    std::map<std::string, std::shared_ptr<remote::ConnectionPool>> pools;
};

// The file named by KORVO_REMOTE_STORES when the variable is set (the native build's only
// form, and a Windows process's override, as tests use it); otherwise the machine's
// registry key. None (every store local) when what is named cannot be read or has a mistake.
remote::StoreConfiguration ReadConfiguration()
{
    remote::ConfigurationError error;
    const char* path = std::getenv("KORVO_REMOTE_STORES");
    if (path == nullptr || *path == '\0') {
        std::vector<MachineSettingsKey> keys;
        if (FAILED(ReadMachineSettingsKeys(remote::kRemoteStoresKey, keys))) {
            return {};
        }
        return remote::StoreConfiguration::FromMachineSettings(keys, error);
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) {
        return {};
    }
    return remote::StoreConfiguration::Parse(text.str(), error);
}

// The remote store for a name with a configured prefix, under the registry lock; null for a
// name that stays local.
std::shared_ptr<RemoteStore> FindOrCreateRemote(NamedStoreRegistry& registry, KeyView name)
{
    if (!registry.configurationRead) {
        registry.configuration = ReadConfiguration();
        registry.configurationRead = true;
    }
    const std::u16string_view name16(reinterpret_cast<const char16_t*>(name.data()), name.size());
    const remote::RemotePrefix* entry = registry.configuration.Find(name16);
    if (entry == nullptr) {
        return nullptr;
    }
    const auto found = registry.remoteStores.find(name);
    if (found != registry.remoteStores.end()) {
        return found->second;
    }
    const remote::ServerSettings& server = entry->server;
    auto& pool =
        registry.pools[server.host + '\n' + std::to_string(server.port) + '\n' + server.user + '\n' + server.password +
                       '\n' + std::to_string(server.database) + '\n' + std::to_string(server.connectTimeout.count()) +
                       '\n' + std::to_string(server.operationTimeout.count())];
    if (!pool) {
        remote::ServerSettings settings = entry->server;
        settings.functionLibrary = RemoteLibraryText();
        pool = std::make_shared<remote::ConnectionPool>(std::move(settings));
    }
    auto created = std::make_shared<RemoteStore>(pool, name, entry->lockLease);
    registry.remoteStores.emplace(KeyText(name), created);
    return created;
}

std::unique_ptr<NamedStoreRegistry> registry;

} // namespace

bool StartNamedStoreRegistry() noexcept
{
    if (registry) {
        return true;
    }
    return SUCCEEDED(CallReturningHresult([] {
        registry = std::make_unique<NamedStoreRegistry>();
        return S_OK;
    }));
}

void StopNamedStoreRegistry(bool abandonObjects) noexcept
{
    if (!registry) {
        return;
    }
    for (auto& [name, store] : registry->stores) {
        if (abandonObjects) {
            store->Abandon();
        } else {
            store->Destroy();
        }
    }
    registry.reset();
}

void ForgetRemoteConfiguration() noexcept
{
    if (!registry) {
        return;
    }
    SectionGuard guard(registry->registryLock);
    registry->configurationRead = false;
    registry->remoteStores.clear();
}

bool NamedStoresHoldObjects() noexcept
{
    if (!registry) {
        return false;
    }
    SectionGuard guard(registry->registryLock);
    for (const auto& [name, store] : registry->stores) {
        if (store->HoldsObjects()) {
            return true;
        }
    }
    return false;
}

HRESULT FindOrCreateNamedStore(KeyView name, StorePtr& store) noexcept
{
    if (!registry) {
        return E_UNEXPECTED;
    }
    std::shared_ptr<RemoteStore> remoteStore;
    const HRESULT found = CallReturningHresult([&]() -> HRESULT {
        SectionGuard guard(registry->registryLock);
        if (remoteStore = FindOrCreateRemote(*registry, name); remoteStore) {
            return S_OK;
        }
        const auto local = registry->stores.find(name);
        if (local != registry->stores.end()) {
            store = local->second;
            return S_OK;
        }
        KeyText key(name);
        // The semaphore carries the name into the system's namespace, so other processes that
        // connect to the same name share the lock. None when the name is unfit for a kernel
        // object: each object bound to the store then gets a lock of its own.
        auto created = std::make_shared<LocalStore>(SemaphoreLock::CreateNamed(key));
        registry->stores.emplace(std::move(key), created);
        store = std::move(created);
        return S_OK;
    });
    if (FAILED(found) || !remoteStore) {
        return found;
    }
    // Connect reaches the server outside the registry lock, so that a server that does not
    // answer delays only the connects that need it; when it cannot be reached the
    // configuration is read again by the next connect, which is how an administrator's
    // change to a server address takes effect without a restart.
    if (const HRESULT reached = remoteStore->Probe(); FAILED(reached)) {
        ForgetRemoteConfiguration();
        return reached;
    }
    store = std::move(remoteStore);
    return S_OK;
}

} // namespace korvo
