#include "server/aggregation.h"

namespace korvo::server {

HRESULT DictionaryAggregate::Create(IUnknown* outer, ComPtr<IUnknown>& owner) noexcept
{
    ComPtr<DictionaryAggregate> aggregate;
    if (const HRESULT made = MakeComObject(aggregate, outer); FAILED(made)) {
        return made;
    }
    // From here the aggregate's own count owns it: releasing `owner` destroys it.
    owner = ComPtr<IUnknown>(static_cast<IUnknown*>(aggregate.get()));
    return aggregate->object_.AggregateMarshaller();
}

} // namespace korvo::server
