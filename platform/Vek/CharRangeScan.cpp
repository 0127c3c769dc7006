#include "Vek/CharRangeScan.h"

namespace Vek {

std::string_view valueToken(std::string_view rest) noexcept {
  std::size_t depth = 0;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    char const c = rest[i];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth == 0)
        return rest.substr(0, i);
      --depth;
    } else if (c == ',' && depth == 0) {
      return rest.substr(0, i);
    }
  }
  return rest;
}

namespace ScanImpl {

void scanValue(CharRange& range, char const* typeName, void (*read)(Pavo::TextScan&, void*),
               void* context) {
  range.skipSpaces();
  std::size_t const start = range.pos();
  Pavo::TextScan scan(typeName, valueToken(range.rest()), start);
  read(scan, context);
  std::size_t const used = scan.pos();
  while (scan.consumeIf(' ')) {
  }
  scan.expectEnd();
  range.advance(used);
}

}  // namespace ScanImpl

}  // namespace Vek
