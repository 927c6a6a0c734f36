// An object's binding to its store: unattached, a private store of its own, or a named store
// shared with every object connected to that name. The binding is guarded, so concurrent
// first calls, Connect and DisConnect on one object never leak or lose a store; stores are
// held by shared pointers, so a call still working on a store keeps it alive while another
// thread rebinds the object.
#pragma once

#include <memory>
#include <mutex>

#include "share/store_backend.h"

namespace korvo {

class Binding {
public:
    Binding() = default;
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;
    // A private store goes with its items; a named store stays.
    ~Binding();

    // The first step of every member that touches a store: gives an unattached binding a new
    // private store, and hands the call the store it works on. E_OUTOFMEMORY when no store
    // can be made; the binding then stays unattached.
    HRESULT EnsureAttached(StorePtr& store) noexcept;

    // Gives up whatever the binding holds and binds it to a new private store (null name) or
    // to the named store (any other string, up to its first NUL), creating that store on
    // first use. A failure leaves the binding as it was.
    HRESULT Attach(const OLECHAR* name) noexcept;

    // The lock Lock and UnLock use: the store's shared lock, or one of this binding's own,
    // made on demand when makeIfMissing is set. Null when there is none (or it could not be
    // made: then the last error tells why). The caller keeps this reference while it waits
    // or frees, so a concurrent Connect never closes the lock under it.
    std::shared_ptr<StoreLock> Lock(bool makeIfMissing) noexcept;

    // How many objects are bound to the store now; an unattached binding counts as the one
    // its private store will have.
    LONG BoundObjects() noexcept;

private:
    struct Bound {
        StorePtr store;
        std::shared_ptr<StoreLock> lock;
    };
    static HRESULT Bind(const OLECHAR* name, Bound& bound) noexcept;
    static void Unbind(Bound& bound) noexcept;

    std::mutex guard_;
    Bound bound_;
};

} // namespace korvo
