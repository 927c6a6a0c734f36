// libFuzzer target for Load: any bytes as a dictionary file. Loading must never crash,
// leak or read out of bounds, and whatever it loads must survive Save and Load unchanged
// in number.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "members/items.h"
#include "members/persistence.h"
#include "platform/platform.h"
#include "share/named_store_registry.h"

namespace {

std::string inputPath;
std::string savedPath;

BSTR PathString(const std::string& path)
{
    const std::u16string wide(path.begin(), path.end());
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

bool WriteInput(const std::uint8_t* data, std::size_t size)
{
    FILE* file = std::fopen(inputPath.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

LONG ItemsCount(korvo::ObjectState& object)
{
    LONG count = 0;
    korvo::members::ItemsCount(object, &count);
    return count;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!korvo::StartNamedStoreRegistry()) {
        std::abort();
    }
    const std::string base = "/tmp/korvo-load-fuzzer-" + std::to_string(getpid());
    inputPath = base + ".in";
    savedPath = base + ".saved";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!WriteInput(data, size)) {
        return 0;
    }
    BSTR input = PathString(inputPath);
    BSTR saved = PathString(savedPath);
    {
        korvo::ObjectState loaded;
        // The first byte picks the unique-keys mode, so both Add paths are exercised.
        loaded.SetUniqueKeys(size > 0 && (data[0] & 1) ? VARIANT_TRUE : VARIANT_FALSE);
        korvo::members::Load(loaded, input, nullptr);

        if (korvo::members::Save(loaded, saved, VARIANT_TRUE, nullptr) == S_OK) {
            korvo::ObjectState reloaded;
            reloaded.SetUniqueKeys(VARIANT_FALSE);
            if (korvo::members::Load(reloaded, saved, nullptr) != S_OK || ItemsCount(reloaded) != ItemsCount(loaded)) {
                std::abort();
            }
        }
    }
    SysFreeString(input);
    SysFreeString(saved);
    return 0;
}
