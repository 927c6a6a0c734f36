// ProgIDFromCLSID over an in-process table: what the registry's class entries are on Windows.
#include "oleauto.h"
#include "platform/hresult_from_exception.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct ProgIdEntry {
    CLSID clsid;
    std::u16string progId;
};

std::mutex tableLock;

std::vector<ProgIdEntry>& Table()
{
    static std::vector<ProgIdEntry> table;
    return table;
}

ProgIdEntry* Find(REFCLSID clsid)
{
    for (auto& entry : Table()) {
        if (IsEqualCLSID(entry.clsid, clsid)) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

extern "C" HRESULT PosixRegisterProgID(REFCLSID clsid, LPCOLESTR progId)
{
    const auto body = [&]() -> HRESULT {
        const std::lock_guard guard(tableLock);
        auto& table = Table();
        ProgIdEntry* entry = Find(clsid);
        if (!progId) {
            if (entry) {
                table.erase(table.begin() + (entry - table.data()));
            }
            return S_OK;
        }
        if (entry) {
            entry->progId = progId;
        } else {
            table.push_back({clsid, progId});
        }
        return S_OK;
    };
    return korvo::CallReturningHresult(body, E_OUTOFMEMORY);
}

extern "C" HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID)
{
    if (!lplpszProgID) {
        return E_INVALIDARG;
    }
    *lplpszProgID = nullptr;
    const std::lock_guard guard(tableLock);
    const ProgIdEntry* entry = Find(clsid);
    if (!entry) {
        return REGDB_E_CLASSNOTREG;
    }
    const std::size_t bytes = (entry->progId.size() + 1) * sizeof(OLECHAR);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!copy) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(copy, entry->progId.c_str(), bytes);
    *lplpszProgID = copy;
    return S_OK;
}
