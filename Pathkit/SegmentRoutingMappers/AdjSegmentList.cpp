#include "Pathkit/SegmentRoutingMappers/AdjSegmentList.h"

#include "VekPavo/Strep.h"

namespace SegmentRouting::Mappers {

AdjSegmentList::AdjSegmentList(AdjSegmentList const& other) {
  copyIn(other);
}

AdjSegmentList& AdjSegmentList::operator=(AdjSegmentList const& other) {
  if (this != &other) {
    entries_.deleteAll();
    copyIn(other);
  }
  return *this;
}

void AdjSegmentList::copyIn(AdjSegmentList const& other) {
  for (auto it = other.entries_.begin(); !it.atEnd(); ++it)
    entries_.memberIs(it->key(), it->value());
}

AdjSegmentList::AdjSegmentList(Vek::CharRange&) {
  VekPavo::Impl::throwNoStringConstructor("AdjSegmentList");
}

bool AdjSegmentList::adjSegmentEntryDel(AdjSegmentEntry const& entry) & {
  Pavo::Ptr<VekAdjSegmentEntry> const removed = entries_.memberDel(entry);
  return removed && removed->value();
}

bool AdjSegmentList::adjSegmentEntryDel(Collection::Iterator const& it) & {
  Pavo::Ptr<VekAdjSegmentEntry> const removed = entries_.memberDel(it);
  return removed && removed->value();
}

bool AdjSegmentList::isEq(void const* a, void const* b) {
  if (a == b)
    return true;
  Collection const& x = static_cast<AdjSegmentList const*>(a)->entries_;
  Collection const& y = static_cast<AdjSegmentList const*>(b)->entries_;
  if (x.size() != y.size())
    return false;
  for (auto i = x.begin(), j = y.begin(); !i.atEnd(); ++i, ++j) {
    if (!AdjSegmentEntry::isEq(&i->key(), &j->key()) || i->value() != j->value())
      return false;
  }
  return true;
}

}  // namespace SegmentRouting::Mappers
