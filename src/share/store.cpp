#include "share/store.h"

#include "platform/critical_section.h"

namespace korvo {

Store::~Store() { DestroyStore(*this); }

void DestroyStore(Store& store) noexcept
{
    // Declared before the guard: the items are released after the section is left, so an
    // object released with them may call back into any store and find it unlocked.
    RemovedEntries removed;
    SectionGuard guard(store.section);
    store.container.EraseAll(removed);
}

} // namespace korvo
