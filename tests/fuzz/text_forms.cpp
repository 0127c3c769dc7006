// Fuzz target: the text reader of every registered value type with a text
// form (the builtin scalars, the outside value types, the library's values).
// The first byte picks the type (0xff: every type), the rest is the text. A
// refused text raises Vek::DeserializeException and nothing else, with a
// message of a few hundred printable characters at most (the corpus holds
// hostile texts for every type: long runs, control and binary bytes, put into
// valid texts); an accepted one gives a value whose written text reads back
// to an equal value (with an equal hash), is written again unchanged, and
// reads alike inside a composite text, where the reader stops right after it;
// a value type of no attributes (not a builtin scalar) followed there by more
// than blanks is refused at the first other character.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "Vek/CharRange.h"
#include "VekPavo/GenericIf.h"
#include "support/Readable.h"

namespace {

using Pavo::Inspect::TypeInfo;

std::vector<TypeInfo const*> readableTypes() {
  std::vector<TypeInfo const*> out;
  for (TypeInfo const* t : FuzzSupport::registeredTypes()) {
    if (!t->isEntity() && !t->hasCollection())
      out.push_back(t);
  }
  return out;
}

void checkText(TypeInfo const& type, std::string const& text) {
  Vek::GenericValue v;
  try {
    v = Vek::GenericIf::decode(type, text);
  } catch (Vek::DeserializeException const& e) {
    FUZZ_CHECK(TestSupport::readableProblem(e.msg()).empty(), e.msg().substr(0, 300));
    return;
  }
  std::string const written = Vek::GenericIf::encode(v);
  std::string const what = type.name() + " \"" + text + "\" written \"" + written + "\"";
  Vek::GenericValue const back = Vek::GenericIf::decode(type, written);
  FUZZ_CHECK(back.isEq(v) && v.isEq(back), what);
  FUZZ_CHECK(Vek::GenericIf::encode(back) == written, what);
  if (type.ops().hash != nullptr)
    FUZZ_CHECK(back.hash() == v.hash(), what);
  // Inside a composite text, after the attribute name, the reader stops
  // right after the value, before the blank.
  std::string const composite = "x=" + written + " , next=(x))";
  Vek::CharRange range(composite);
  range.advance(2);
  Vek::GenericValue const inner = Vek::GenericValue::fromStrep(type, range);
  FUZZ_CHECK(inner.isEq(v) && range.pos() == 2 + written.size(), what);
  if (type.attrCount() != 0 || type.kind() == Pavo::Inspect::TypeKind::builtin)
    return;  // a composite ends at its ')', a builtin scalar leaves the rest to its caller
  // A value type of no attributes ends its text: more than blanks is refused,
  // at the first such character, and the range is left where it was.
  std::string const junk = "x=" + written + " junk, next=1)";
  Vek::CharRange rest(junk);
  rest.advance(2);
  std::string refusal = "read";
  try {
    Vek::GenericValue::fromStrep(type, rest);
  } catch (Vek::DeserializeException const& e) {
    refusal =
        "refused at " + std::to_string(e.position()) + ", range at " + std::to_string(rest.pos());
  }
  std::string const want = "refused at " + std::to_string(3 + written.size()) + ", range at 2";
  FUZZ_CHECK(refusal == want, what + " followed by junk: " + refusal);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  static std::vector<TypeInfo const*> const types = readableTypes();
  if (size == 0)
    return 0;
  std::string const text(reinterpret_cast<char const*>(data + 1), size - 1);
  for (TypeInfo const* type : types) {
    if (data[0] == 0xFF || type == types[data[0] % types.size()])
      checkText(*type, text);
  }
  return 0;
}
