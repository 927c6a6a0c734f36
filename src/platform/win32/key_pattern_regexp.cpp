// Windows: the key pattern is an instance of the script engine's RegExp class, created for
// one call on the calling thread. Where the thread cannot get the IRegExp interface (a
// multithreaded apartment that cannot marshal it), the same object is driven late-bound
// through IDispatch, so matching works from every thread.
#include "platform/key_pattern.h"

#include <array>

#include "platform/com_ptr.h"
#include "platform/hresult_from_exception.h"
#include "platform/unique_bstr.h"
#include "platform/unique_variant.h"

namespace korvo {

// The component's dual interface; no platform header declares it. It must keep external
// linkage: inside an anonymous namespace the compiler may assume it sees every class that
// implements it, finds none, and turns each call through it into a call of the pure-virtual
// stub (g++ -O2 devirtualisation), while the only implementation lives in the component.
struct IRegExp : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Pattern(BSTR* pattern) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Pattern(BSTR pattern) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IgnoreCase(VARIANT_BOOL* ignoreCase) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IgnoreCase(VARIANT_BOOL ignoreCase) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Global(VARIANT_BOOL* global) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Global(VARIANT_BOOL global) = 0;
    virtual HRESULT STDMETHODCALLTYPE Execute(BSTR source, IDispatch** matches) = 0;
    virtual HRESULT STDMETHODCALLTYPE Test(BSTR source, VARIANT_BOOL* matched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Replace(BSTR source, BSTR replacement, BSTR* result) = 0;
};

namespace {

constexpr CLSID kClsidRegExp = {0x3F4DACA4, 0x160D, 0x11D2, {0xA8, 0xE9, 0x00, 0x10, 0x4B, 0x36, 0x5C, 0x9F}};
constexpr IID kIidIRegExp = {0x3F4DACA0, 0x160D, 0x11D2, {0xA8, 0xE9, 0x00, 0x10, 0x4B, 0x36, 0x5C, 0x9F}};

KeyTestResult FromTestResult(HRESULT result, VARIANT_BOOL matched) noexcept
{
    if (FAILED(result)) {
        return KeyTestResult::Failed;
    }
    return matched != VARIANT_FALSE ? KeyTestResult::Match : KeyTestResult::NoMatch;
}

class EarlyBoundPattern final : public KeyPattern {
public:
    explicit EarlyBoundPattern(ComPtr<IRegExp> regExp) noexcept : regExp_(std::move(regExp)) {}

    HRESULT SetPattern(BSTR pattern) noexcept { return regExp_->put_Pattern(pattern); }

    KeyTestResult Test(PatternText key) noexcept override
    {
        UniqueBstr text = UniqueBstr::CopyOf(key.data(), static_cast<UINT>(key.size()));
        if (!text) {
            return KeyTestResult::Failed;
        }
        VARIANT_BOOL matched = VARIANT_FALSE;
        const HRESULT result = regExp_->Test(text.get(), &matched);
        return FromTestResult(result, matched);
    }

private:
    ComPtr<IRegExp> regExp_;
};

class LateBoundPattern final : public KeyPattern {
public:
    explicit LateBoundPattern(ComPtr<IDispatch> object) noexcept : object_(std::move(object)) {}

    HRESULT SetPattern(BSTR pattern) noexcept
    {
        DISPID patternId = DISPID_UNKNOWN;
        if (const HRESULT found = MemberId(L"Pattern", patternId); FAILED(found)) {
            return found;
        }
        if (const HRESULT found = MemberId(L"Test", testId_); FAILED(found)) {
            return found;
        }
        VARIANT value;
        VariantInit(&value);
        V_VT(&value) = VT_BSTR;
        V_BSTR(&value) = pattern; // borrowed: the call does not keep it
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &named, 1, 1};
        return object_->Invoke(patternId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                               nullptr, nullptr);
    }

    KeyTestResult Test(PatternText key) noexcept override
    {
        UniqueVariant argument;
        V_BSTR(argument.get()) = SysAllocStringLen(key.data(), static_cast<UINT>(key.size()));
        if (!V_BSTR(argument.get())) {
            return KeyTestResult::Failed;
        }
        V_VT(argument.get()) = VT_BSTR;
        DISPPARAMS params{argument.get(), nullptr, 1, 0};
        UniqueVariant answer;
        HRESULT result = object_->Invoke(testId_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, answer.get(),
                                         nullptr, nullptr);
        if (SUCCEEDED(result) && V_VT(answer.get()) != VT_BOOL) {
            result = VariantChangeType(answer.get(), answer.get(), 0, VT_BOOL);
        }
        return FromTestResult(result, SUCCEEDED(result) ? V_BOOL(answer.get()) : VARIANT_FALSE);
    }

private:
    HRESULT MemberId(const wchar_t* name, DISPID& id) noexcept
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    }

    ComPtr<IDispatch> object_;
    DISPID testId_ = DISPID_UNKNOWN;
};

template <class Pattern, class Interface>
HRESULT MakePattern(ComPtr<Interface> object, BSTR text, std::unique_ptr<KeyPattern>& out) noexcept
{
    const auto body = [&]() -> HRESULT {
        auto pattern = std::make_unique<Pattern>(std::move(object));
        if (const HRESULT set = pattern->SetPattern(text); FAILED(set)) {
            return set;
        }
        out = std::move(pattern);
        return S_OK;
    };
    return CallReturningHresult(body, E_OUTOFMEMORY);
}

} // namespace

HRESULT PrepareKeyPattern(PatternText pattern, std::unique_ptr<KeyPattern>& out) noexcept
{
    out.reset();
    if (KeyPatternUnavailableForTesting()) {
        return REGDB_E_CLASSNOTREG;
    }
    const PatternText text = pattern.substr(0, pattern.find(OLECHAR(0)));
    UniqueBstr patternText = UniqueBstr::CopyOf(text.data(), static_cast<UINT>(text.size()));
    if (!patternText) {
        return E_OUTOFMEMORY;
    }

    ComPtr<IUnknown> object;
    if (const HRESULT created = CoCreateInstance(kClsidRegExp, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid());
        FAILED(created)) {
        return created;
    }
    if (const HRESULT running = OleRun(object.get()); FAILED(running)) {
        return running;
    }
    ComPtr<IRegExp> regExp;
    const HRESULT early = object.As(kIidIRegExp, regExp);
    if (SUCCEEDED(early)) {
        return MakePattern<EarlyBoundPattern>(std::move(regExp), patternText.get(), out);
    }
    if (early != E_NOINTERFACE) {
        return early;
    }
    ComPtr<IDispatch> dispatch;
    if (const HRESULT late = object.As(IID_IDispatch, dispatch); FAILED(late)) {
        return late;
    }
    return MakePattern<LateBoundPattern>(std::move(dispatch), patternText.get(), out);
}

} // namespace korvo
