#include "allocation.h"
#include "oleauto.h"

extern "C" LPVOID CoTaskMemAlloc(SIZE_T cb)
{
    return korvo::posix::RuntimeAlloc(cb);
}

extern "C" void CoTaskMemFree(LPVOID pv)
{
    korvo::posix::RuntimeFree(pv);
}
