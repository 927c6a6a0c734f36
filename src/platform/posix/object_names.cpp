#include "object_names.h"

namespace korvo::posix {
namespace {

constexpr std::u16string_view kLocalPrefix = u"Local\\";
constexpr std::u16string_view kGlobalPrefix = u"Global\\";
constexpr std::u16string_view kSessionPrefix = u"Session\\";

// The length of a "Session\<number>\" prefix at the start of the name, or 0.
std::size_t SessionPrefixLength(std::u16string_view name)
{
    if (!name.starts_with(kSessionPrefix)) {
        return 0;
    }
    std::size_t end = kSessionPrefix.size();
    while (end < name.size() && name[end] >= u'0' && name[end] <= u'9') {
        ++end;
    }
    return end > kSessionPrefix.size() && end < name.size() && name[end] == u'\\' ? end + 1 : 0;
}

} // namespace

DWORD NormaliseName(std::u16string_view& name)
{
    if (name.starts_with(u'\\')) {
        return ERROR_BAD_PATHNAME;
    }
    if (name.starts_with(kLocalPrefix)) {
        name.remove_prefix(kLocalPrefix.size());
    }
    std::size_t prefix = name.starts_with(kGlobalPrefix) ? kGlobalPrefix.size() : SessionPrefixLength(name);
    if (name.find(u'\\', prefix) != std::u16string_view::npos) {
        return ERROR_PATH_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

} // namespace korvo::posix
