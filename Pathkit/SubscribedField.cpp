#include "Pathkit/SubscribedField.h"

#include "Pavo/Exception.h"

namespace SegmentRouting::Mappers {

namespace {

std::string typeName(Pavo::Inspect::TypeInfo const* type) {
  return type ? type->name() : std::string("(none)");
}

}  // namespace

void subscribedFieldCheck(std::string const& where, Pavo::Inspect::TypeInfo const& type,
                          Pavo::FieldId field, Pavo::Inspect::TypeInfo const* key,
                          Pavo::Inspect::TypeInfo const* prior, bool priorIsPtr) {
  auto const* attr = type.attr(field);
  if (attr == nullptr || !attr->isCollection())
    throw Pavo::Exception(where + ": no collection attribute has this field id");
  auto const* wantPrior = attr->isSet() ? attr->keyType() : attr->valueType();
  bool const wantPtr = !attr->isSet() && attr->valueIsEntity();
  if (attr->keyType() != key || wantPrior != prior || wantPtr != priorIsPtr) {
    throw Pavo::Exception(where + " (" + attr->name() + "): registered key " +
                          typeName(attr->keyType()) + ", prior " + typeName(wantPrior) +
                          (wantPtr ? " (counted pointer)" : "") + "; subscribed with key " +
                          typeName(key) + ", prior " + typeName(prior) +
                          (priorIsPtr ? " (counted pointer)" : ""));
  }
}

}  // namespace SegmentRouting::Mappers
