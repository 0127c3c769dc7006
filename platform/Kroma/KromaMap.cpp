#include "Kroma/KromaMap.h"

namespace Kroma {

char const* faultName(Fault fault) noexcept {
  switch (fault) {
    case Fault::lookup:
      return "lookup";
    case Fault::firstKey:
      return "firstKey";
    case Fault::nextKey:
      return "nextKey";
    case Fault::none:
      break;
  }
  return "none";
}

void KromaMapBase::doCorruptionDetected(std::string const& msg) const {
  ++corruptionReports_;
  lastCorruptionReport_ = msg;
}

void KromaMapBase::faultStep(Fault op) const {
  if (op != faultOp_)
    return;
  if (faultCountdown_ > 0) {
    --faultCountdown_;
    return;
  }
  faultOp_ = Fault::none;
  throw Pavo::CorruptionDetectedException(std::string(name_) + ": corruption detected in " +
                                          faultName(op) + " (injected)");
}

}  // namespace Kroma
