// The aggregated form of the Dictionary object: an own IUnknown and reference count around
// the object, which sends its AddRef, Release and QueryInterface to the outer object.
#pragma once

#include "com/server/dictionary_object.h"

namespace korvo::server {

class DictionaryAggregate final : public IUnknown {
public:
    explicit DictionaryAggregate(IUnknown* outer) noexcept : object_(outer) {}
    ~DictionaryAggregate() = default;
    DictionaryAggregate(const DictionaryAggregate&) = delete;
    DictionaryAggregate& operator=(const DictionaryAggregate&) = delete;

    // An aggregate inside `outer`, its own IUnknown holding the first reference in `owner`.
    static HRESULT Create(IUnknown* outer, ComPtr<IUnknown>& owner) noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

private:
    LONG referenceCount_ = 0;
    DictionaryObject object_;
};

} // namespace korvo::server
