#include "share/named_store_registry.h"

#include <map>
#include <memory>

#include "platform/critical_section.h"
#include "platform/hresult_from_exception.h"
#include "share/local_store.h"
#include "share/semaphore_lock.h"

namespace korvo {
namespace {

struct NamedStoreRegistry {
    // RegistryLock: held from the lookup of a name to the storing of its new store; never
    // held together with a store's section.
    CriticalSection registryLock;
    std::map<KeyText, std::shared_ptr<LocalStore>, std::less<>> stores;
};

std::unique_ptr<NamedStoreRegistry> registry;

} // namespace

bool StartNamedStoreRegistry() noexcept
{
    if (registry) {
        return true;
    }
    try {
        registry = std::make_unique<NamedStoreRegistry>();
        return true;
    } catch (...) {
        return false;
    }
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
    return CallReturningHresult([&]() -> HRESULT {
        SectionGuard guard(registry->registryLock);
        const auto found = registry->stores.find(name);
        if (found != registry->stores.end()) {
            store = found->second;
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
}

} // namespace korvo
