// The check a typed subscription makes of the attribute it watches, against
// the type registration: Subscription checks the entity it is handed,
// ChildSubscription the child type before any child exists.
#pragma once

#include <string>

#include "VekPavo/InspectTypes.h"
#include "Pavo/Publisher.h"

namespace SegmentRouting::Mappers {

// Raises Pavo::Exception, its text opening with `where` ("Subscription to
// TYPE field N"), unless `field` of the registered entity type `type` is a
// collection whose key type is `key` and whose prior values are `prior`
// (counted pointers when `priorIsPtr`): a set's prior is its key, a
// collection of child entities' a Pavo::Ptr to the child.
void subscribedFieldCheck(std::string const& where, Pavo::Inspect::TypeInfo const& type,
                          Pavo::FieldId field, Pavo::Inspect::TypeInfo const* key,
                          Pavo::Inspect::TypeInfo const* prior, bool priorIsPtr);

}  // namespace SegmentRouting::Mappers
