// Vek::readScanned: reads one value of an outside type, whose own parser walks
// a Pavo::TextScan, from a CharRange positioned inside a text form.
//
// In the standard text form (see "Vek/CharRange.h") a value ends at the first
// ',' or unmatched ')' after it, or at the end of the text; no outside value's
// own text contains either outside of parentheses of its own. valueToken() cuts
// that stretch and the parser runs on it alone, so it cannot read into the next
// attribute, nor be misled by it when it looks ahead (a router id decides its
// form by the next ':'). Blanks before the value are skipped; only blanks may
// follow it inside its stretch.
//
//   Mpls::SegmentRouting::SegmentIdentifier sid = Vek::readScanned<SegmentIdentifier>(
//       range, SegmentIdentifier::kTypeName, &SegmentIdentifier::read);
//
// On success the range stands right after the value; on failure it has not
// moved. Malformed text, a number out of range, or text left in the stretch
// raise Vek::DeserializeException at its offset in the whole text, so that a
// composite's reader can rethrow it naming its attribute with the position
// kept (Vek::rethrowFromDeserializeAttr).
#pragma once

#include <string_view>
#include <utility>

#include "Pavo/TextScan.h"
#include "Vek/CharRange.h"

namespace Vek {

// The leading stretch of `rest` up to the first ',' or unmatched ')'.
std::string_view valueToken(std::string_view rest) noexcept;

namespace ScanImpl {
// Runs `read(scan, context)` over the value's stretch at the range's position.
void scanValue(CharRange& range, char const* typeName, void (*read)(Pavo::TextScan&, void*),
               void* context);
}  // namespace ScanImpl

// `read` is any callable `T(Pavo::TextScan&)`; `typeName` names T in errors
// and must outlive the call.
template <class T, class Read>
T readScanned(CharRange& range, char const* typeName, Read const& read) {
  struct Context {
    Read const& read;
    T value;
  } context{read, T()};
  ScanImpl::scanValue(
      range, typeName,
      [](Pavo::TextScan& scan, void* c) {
        auto& ctx = *static_cast<Context*>(c);
        ctx.value = ctx.read(scan);
      },
      &context);
  return std::move(context.value);
}

}  // namespace Vek
