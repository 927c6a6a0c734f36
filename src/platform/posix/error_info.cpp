// Error records: one object answering ICreateErrorInfo (to fill it) and IErrorInfo (to read
// it), and the calling thread's current record.
#include "allocation.h"
#include "oleauto.h"

#include <atomic>
#include <new>

namespace {

using korvo::posix::TakeAllocation;

// A BSTR copy of a text, or null for null; false when out of memory.
bool CopyText(LPCOLESTR text, BSTR* out)
{
    BSTR copy = text ? SysAllocString(text) : nullptr;
    if (text && !copy) {
        return false;
    }
    SysFreeString(*out);
    *out = copy;
    return true;
}

HRESULT HandOutText(BSTR text, BSTR* out)
{
    if (!out) {
        return E_INVALIDARG;
    }
    *out = nullptr;
    if (!text) {
        return S_OK;
    }
    *out = SysAllocStringLen(text, SysStringLen(text));
    return *out ? S_OK : E_OUTOFMEMORY;
}

class ErrorRecord final : public ICreateErrorInfo, public IErrorInfo {
public:
    ErrorRecord() = default;
    ErrorRecord(const ErrorRecord&) = delete;
    ErrorRecord& operator=(const ErrorRecord&) = delete;

    // ICreateErrorInfo and IErrorInfo share IUnknown through the ICreateErrorInfo base.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ICreateErrorInfo)) {
            *out = static_cast<ICreateErrorInfo*>(this);
        } else if (IsEqualIID(iid, IID_IErrorInfo)) {
            *out = static_cast<IErrorInfo*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override
    {
        guid_ = rguid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override
    {
        return CopyText(text, &source_) ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override
    {
        return CopyText(text, &description_) ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override
    {
        return CopyText(text, &helpFile_) ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override
    {
        helpContext_ = context;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override
    {
        if (!guid) {
            return E_INVALIDARG;
        }
        *guid = guid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) override { return HandOutText(source_, out); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override { return HandOutText(description_, out); }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) override { return HandOutText(helpFile_, out); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* out) override
    {
        if (!out) {
            return E_INVALIDARG;
        }
        *out = helpContext_;
        return S_OK;
    }

private:
    ~ErrorRecord()
    {
        SysFreeString(source_);
        SysFreeString(description_);
        SysFreeString(helpFile_);
    }

    std::atomic<ULONG> references_{1};
    GUID guid_ = GUID_NULL;
    BSTR source_ = nullptr;
    BSTR description_ = nullptr;
    BSTR helpFile_ = nullptr;
    DWORD helpContext_ = 0;
};

// The calling thread's current record; released when the thread ends.
class CurrentErrorSlot {
public:
    CurrentErrorSlot() = default;
    CurrentErrorSlot(const CurrentErrorSlot&) = delete;
    CurrentErrorSlot& operator=(const CurrentErrorSlot&) = delete;
    ~CurrentErrorSlot() { Replace(nullptr); }

    void Replace(IErrorInfo* record)
    {
        if (record) {
            record->AddRef();
        }
        IErrorInfo* old = record_;
        record_ = record;
        if (old) {
            old->Release();
        }
    }
    IErrorInfo* Take()
    {
        IErrorInfo* record = record_;
        record_ = nullptr;
        return record;
    }

private:
    IErrorInfo* record_ = nullptr;
};

thread_local CurrentErrorSlot currentError;

} // namespace

extern "C" HRESULT CreateErrorInfo(ICreateErrorInfo** out)
{
    if (!out) {
        return E_INVALIDARG;
    }
    *out = nullptr;
    if (!TakeAllocation()) {
        return E_OUTOFMEMORY;
    }
    auto* record = new (std::nothrow) ErrorRecord();
    if (!record) {
        return E_OUTOFMEMORY;
    }
    *out = record;
    return S_OK;
}

extern "C" HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* errorInfo)
{
    if (reserved != 0) {
        return E_INVALIDARG;
    }
    currentError.Replace(errorInfo);
    return S_OK;
}

extern "C" HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** out)
{
    if (reserved != 0 || !out) {
        return E_INVALIDARG;
    }
    *out = currentError.Take();
    return *out ? S_OK : S_FALSE;
}
