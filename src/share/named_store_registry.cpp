#include "share/named_store_registry.h"

#include <map>
#include <memory>

#include "platform/critical_section.h"
#include "platform/hresult_from_exception.h"

namespace korvo {
namespace {

struct NamedStoreRegistry {
    // RegistryLock: held from the lookup of a name to the storing of its new store; never
    // held together with a store's section.
    CriticalSection registryLock;
    std::map<KeyText, StorePtr, std::less<>> stores;
};

std::unique_ptr<NamedStoreRegistry> registry;

StorePtr MakeNamedStore(const KeyText& name)
{
    auto store = std::make_shared<Store>();
    // The semaphore carries the name into the system's namespace, so other processes that
    // connect to the same name share the lock. Null when the name is unfit for a kernel object.
    auto semaphore = std::make_shared<UniqueHandle>();
    semaphore->reset(CreateSemaphoreW(nullptr, 1, 1, name.c_str()));
    store->namedSemaphore = std::move(semaphore);
    return store;
}

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

void StopNamedStoreRegistry() noexcept
{
    if (!registry) {
        return;
    }
    for (auto& [name, store] : registry->stores) {
        DestroyStore(*store);
    }
    registry.reset();
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
        auto created = MakeNamedStore(key);
        registry->stores.emplace(std::move(key), created);
        store = std::move(created);
        return S_OK;
    });
}

} // namespace korvo
