// The aggregated form of the Dictionary object: an own IUnknown and reference count around
// the object, which sends its AddRef, Release and QueryInterface to the outer object.
#pragma once

#include "server/dictionary_object.h"

namespace korvo::server {

// The inner object holds the module lock; the aggregate's own count needs none.
class DictionaryAggregate final : public ComObject<DictionaryAggregate, Interfaces<IUnknown>, InterlockedCount> {
public:
    explicit DictionaryAggregate(IUnknown* outer) noexcept : object_(outer) {}
    ~DictionaryAggregate() = default;

    // An aggregate inside `outer`, its own IUnknown holding the first reference in `owner`.
    static HRESULT Create(IUnknown* outer, ComPtr<IUnknown>& owner) noexcept;

    // Everything but IUnknown comes from the object's own table.
    HRESULT QueryOtherInterface(REFIID iid, void** result) noexcept { return object_.FindInterface(iid, result); }

private:
    DictionaryObject object_;
};

} // namespace korvo::server
