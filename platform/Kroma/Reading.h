// Kroma reading with corruption reports: the two ways a mapper reads a
// status-table collection, each handing corruption back to the collection
// (doCorruptionDetected) instead of letting it escape.
//
//   Map::Stored const* s = Kroma::findOrReport(map, key);  // null: absent or corrupt
//   Kroma::walkOrReport(map, [&](Key const& k, Map::Stored const* walked) { use(k, walked); });
//
// A walk hands each key with the entry it stands on (null when reading that
// entry reports corruption, as a look-up would) and ends at the first walk
// step that reports corruption. The handler may change the table: the walk
// goes on from the key, strictly after it.
#pragma once

#include "Kroma/KromaMap.h"
#include "Pavo/Exception.h"

namespace Kroma {

template <class Collection>
typename Collection::Stored const* findOrReport(Collection const& collection,
                                                typename Collection::Key const& key) {
  try {
    return collection.find(key);
  } catch (Pavo::CorruptionDetectedException const& e) {
    collection.doCorruptionDetected(e.msg());
    return nullptr;
  }
}

template <class Collection, class Handle>
void walkOrReport(Collection const& collection, Handle handle) {
  using Key = typename Collection::Key;
  using Stored = typename Collection::Stored;
  IterHint hint;
  Stored const* at;
  try {
    at = collection.first(hint);
  } catch (Pavo::CorruptionDetectedException const& e) {
    collection.doCorruptionDetected(e.msg());
    return;
  }
  while (at != nullptr) {
    Key const key = at->key();
    Stored const* read;
    try {
      read = &collection.read(*at);
    } catch (Pavo::CorruptionDetectedException const& e) {
      collection.doCorruptionDetected(e.msg());
      read = nullptr;
    }
    handle(key, read);
    try {
      at = collection.next(hint, key);
    } catch (Pavo::CorruptionDetectedException const& e) {
      collection.doCorruptionDetected(e.msg());
      return;
    }
  }
}

}  // namespace Kroma
