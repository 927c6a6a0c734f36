#include "com/server/class_table.h"

#include <new>
#include <utility>

#include "com/identifiers.h"
#include "com/server/class_factory.h"
#include "platform/com_ptr.h"
#include "platform/critical_section.h"

namespace korvo::server {
namespace {

struct ClassEntry {
    CriticalSection section;
    ComPtr<ClassFactory> classObject;
};

ClassEntry& DictionaryEntry() noexcept
{
    static ClassEntry entry;
    return entry;
}

} // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (!IsEqualCLSID(clsid, kClsidDictionary)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    ClassEntry& entry = DictionaryEntry();
    SectionGuard guard(entry.section);
    if (!entry.classObject) {
        ComPtr<ClassFactory> created(new (std::nothrow) ClassFactory());
        if (!created) {
            return E_OUTOFMEMORY;
        }
        // The table keeps this first reference.
        entry.classObject = std::move(created);
    }
    return entry.classObject->QueryInterface(iid, result);
}

void ReleaseClassObject() noexcept
{
    ClassEntry& entry = DictionaryEntry();
    ComPtr<ClassFactory> released;
    SectionGuard guard(entry.section);
    released = std::move(entry.classObject);
}

} // namespace korvo::server
