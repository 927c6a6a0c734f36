#include "server/class_table.h"

#include <utility>

#include "errors/identifiers.h"
#include "platform/com_ptr.h"
#include "platform/critical_section.h"
#include "server/class_factory.h"

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
        // The table keeps this first reference.
        if (const HRESULT made = MakeComObject(entry.classObject); FAILED(made)) {
            return made;
        }
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
