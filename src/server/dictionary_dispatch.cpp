#include "server/dictionary_dispatch.h"

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "errors/identifiers.h"
#include "platform/com_ptr.h"
#include "platform/critical_section.h"
#include "platform/failure_trace.h"
#include "platform/hresult_from_exception.h"
#include "platform/unique_bstr.h"

namespace korvo::server {
namespace {

struct MemberName {
    std::wstring name;
    DISPID id;
};

// Written once under `section`, then only read: `loaded` publishes it to other threads.
struct TypeDescription {
    CriticalSection section;
    std::atomic<bool> loaded{false};
    ComPtr<ITypeInfo> typeInfo;
    std::vector<MemberName> names;
};

TypeDescription& Description() noexcept
{
    static TypeDescription description;
    return description;
}

// The names of every function in the description, exactly as the type library writes them.
std::vector<MemberName> ReadMemberNames(ITypeInfo& typeInfo)
{
    std::vector<MemberName> names;
    TYPEATTR* attributes = nullptr;
    if (FAILED(typeInfo.GetTypeAttr(&attributes))) {
        return names;
    }
    const WORD functionCount = attributes->cFuncs;
    typeInfo.ReleaseTypeAttr(attributes);
    for (UINT index = 0; index < functionCount; ++index) {
        FUNCDESC* function = nullptr;
        if (FAILED(typeInfo.GetFuncDesc(index, &function))) {
            continue;
        }
        const DISPID id = function->memid;
        typeInfo.ReleaseFuncDesc(function);
        UniqueBstr name;
        if (SUCCEEDED(typeInfo.GetDocumentation(id, name.put(), nullptr, nullptr, nullptr)) && name) {
            names.push_back({std::wstring(name.get(), name.Length()), id});
        }
    }
    return names;
}

HRESULT LoadTypeDescription(LCID locale, TypeDescription& description) noexcept
{
    ComPtr<ITypeLib> library;
    HRESULT hr = KORVO_TRACED(LoadRegTypeLib(kLibidKorvo, 1, 0, locale, library.put()));
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ITypeInfo> typeInfo;
    hr = KORVO_TRACED(library->GetTypeInfoOfGuid(kIidIDictionary, typeInfo.put()));
    if (FAILED(hr)) {
        return hr;
    }
    // Without the name table every lookup still works through the description.
    CallReturningHresult([&] {
        description.names = ReadMemberNames(*typeInfo.get());
        return S_OK;
    });
    description.typeInfo = std::move(typeInfo);
    return S_OK;
}

// The loaded description, or the failure of loading it.
HRESULT EnsureLoaded(LCID locale, TypeDescription*& loaded) noexcept
{
    TypeDescription& description = Description();
    if (!description.loaded.load(std::memory_order_acquire)) {
        SectionGuard guard(description.section);
        if (!description.loaded.load(std::memory_order_relaxed)) {
            const HRESULT hr = LoadTypeDescription(locale, description);
            if (FAILED(hr)) {
                return hr;
            }
            description.loaded.store(true, std::memory_order_release);
        }
    }
    loaded = &description;
    return S_OK;
}

// The description for a call through IDispatch, which knows no interface but IID_NULL.
HRESULT EnsureLoadedFor(REFIID iid, LCID locale, TypeDescription*& loaded) noexcept
{
    if (!IsEqualIID(iid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    return EnsureLoaded(locale, loaded);
}

bool FindExactName(const TypeDescription& description, const OLECHAR* name, DISPID& id) noexcept
{
    if (name == nullptr) {
        return false;
    }
    for (const auto& member : description.names) {
        if (member.name == name) {
            id = member.id;
            return true;
        }
    }
    return false;
}

} // namespace

HRESULT GetDictionaryTypeInfo(LCID locale, ITypeInfo** result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    TypeDescription* description = nullptr;
    const HRESULT hr = EnsureLoaded(locale, description);
    if (FAILED(hr)) {
        return hr;
    }
    return description->typeInfo.CopyTo(result);
}

HRESULT DictionaryIdsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID locale, DISPID* ids) noexcept
{
    TypeDescription* description = nullptr;
    const HRESULT hr = EnsureLoadedFor(iid, locale, description);
    if (FAILED(hr)) {
        return hr;
    }
    // A member name alone in its exact case is the common case of every script call.
    if (nameCount == 1 && names != nullptr && ids != nullptr && FindExactName(*description, names[0], ids[0])) {
        return S_OK;
    }
    return description->typeInfo->GetIDsOfNames(names, nameCount, ids);
}

HRESULT InvokeDictionary(IDictionary* instance, DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept
{
    TypeDescription* description = nullptr;
    const HRESULT hr = EnsureLoadedFor(iid, locale, description);
    if (FAILED(hr)) {
        return hr;
    }
    // Some script engines make every call with parentheses a plain method call, the
    // enumerator and `d.Count()` included; a property get answers such a call too.
    if ((flags & DISPATCH_METHOD) != 0 && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) == 0) {
        flags |= DISPATCH_PROPERTYGET;
    }
    return description->typeInfo->Invoke(instance, id, flags, params, result, exception, argumentError);
}

void ReleaseDictionaryTypeInfo() noexcept
{
    TypeDescription& description = Description();
    SectionGuard guard(description.section);
    description.loaded.store(false, std::memory_order_release);
    description.typeInfo.reset();
    description.names.clear();
}

} // namespace korvo::server
