#include "store/release_item.h"

namespace korvo {

void ReleaseItem(VARIANT& item) noexcept
{
    try {
        VariantClear(&item);
    } catch (...) {
        // A misbehaving object must not stop the removal of the other items.
    }
    V_VT(&item) = VT_EMPTY;
}

} // namespace korvo
