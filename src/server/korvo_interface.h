// The interface declarations generated from korvo.idl (IDictionary, CompareMethod), reached
// through the platform header so the Windows headers come first and from one place, and the
// identities the COM object template needs for the server's interfaces.
#pragma once

#include "platform/platform.h"

#include "korvo.h"

#include "errors/identifiers.h"
#include "platform/com_object.h"

namespace korvo {

template <>
inline const IID& InterfaceIdOf<IDictionary>() noexcept
{
    return kIidIDictionary;
}

// The dual interface is also the object's IDispatch.
template <>
struct InterfaceTraits<IDictionary> {
    static bool Answers(REFIID iid) noexcept
    {
        return IsEqualIID(iid, kIidIDictionary) || IsEqualIID(iid, IID_IDispatch);
    }
};

template <>
inline const IID& InterfaceIdOf<IClassFactory>() noexcept
{
    return IID_IClassFactory;
}

} // namespace korvo
