#include "Pathkit/SegmentRoutingMappers/AdjSegmentEntry.h"

#include <ostream>

#include "VekPavo/CharRangeRead.h"
#include "VekPavo/Strep.h"

namespace SegmentRouting::Mappers {

AdjSegmentEntry::AdjSegmentEntry(Vek::CharRange& range) {
  isLocal_ = Vek::desAttrPre<bool>(range, kTypeName, "isLocal");
  metric_ = Vek::desAttrIntra<unsigned>(range, "metric");
  range.needSep("sid");
  // Not ended when the identifier fails: nothing after it is read then.
  Vek::DesAttrPost post(range);
  try {
    sid_ = Mpls::SegmentRouting::SegmentIdentifier(range);
  } catch (Pavo::RangeException const& e) {
    Vek::rethrowFromDeserializeAttr(e, "sid");
  }
  post.end();
}

std::ostream& operator<<(std::ostream& os, AdjSegmentEntry const& entry) {
  return os << VekPavo::valueToStrep(entry);
}

}  // namespace SegmentRouting::Mappers
