// Fuzz target: the text reader of every registered value type with a text
// form (the builtin scalars, the outside value types, the library's values).
// The first byte picks the type, the rest is the text. A refused text raises
// Vek::DeserializeException and nothing else; an accepted one gives a value
// whose written text reads back to an equal value (with an equal hash), is
// written again unchanged, and reads alike inside a composite text, where the
// reader stops right after it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "Vek/CharRange.h"
#include "Vek/GenericIf.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  static std::vector<TypeInfo const*> const types = readableTypes();
  if (size == 0)
    return 0;
  TypeInfo const& type = *types[data[0] % types.size()];
  std::string const text(reinterpret_cast<char const*>(data + 1), size - 1);
  Vek::GenericValue v;
  try {
    v = Vek::GenericIf::decode(type, text);
  } catch (Vek::DeserializeException const&) {
    return 0;
  }
  std::string const written = Vek::GenericIf::encode(v);
  std::string const what = type.name() + " \"" + text + "\" written \"" + written + "\"";
  Vek::GenericValue const back = Vek::GenericIf::decode(type, written);
  FUZZ_CHECK(back.isEq(v) && v.isEq(back), what);
  FUZZ_CHECK(Vek::GenericIf::encode(back) == written, what);
  if (type.ops().hash != nullptr)
    FUZZ_CHECK(back.hash() == v.hash(), what);
  std::string const composite = written + ", next=(x))";
  Vek::CharRange range(composite);
  Vek::GenericValue const inner = Vek::GenericValue::fromStrep(type, range);
  FUZZ_CHECK(inner.isEq(v) && range.pos() == written.size(), what);
  return 0;
}
