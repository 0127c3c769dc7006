#include "Pathkit/Subscription.h"

#include <string>

#include "Pathkit/SubscribedField.h"
#include "Pavo/Exception.h"
#include "VekPavo/InspectModule.h"

namespace SegmentRouting::Mappers {

namespace {

// The field must be a collection of `node`'s registered type whose key and
// prior values have the expected types; raises naming both sides otherwise.
void checkField(Pavo::Node const& node, Pavo::FieldId fieldId, Pavo::Inspect::TypeInfo const* key,
                Pavo::Inspect::TypeInfo const* prior, bool priorIsPtr) {
  auto const* type = Pavo::ModuleInspectData::typeOf(node.typeData());
  std::string const where = "Subscription to " +
                            (type ? type->name() : std::string("an unregistered entity")) +
                            " field " + std::to_string(fieldId);
  if (node.publisher() == nullptr)
    throw Pavo::Exception(where + ": the entity does not notify");
  if (type == nullptr)
    throw Pavo::Exception(where + ": the entity's type is not registered");
  subscribedFieldCheck(where, *type, fieldId, key, prior, priorIsPtr);
}

}  // namespace

SubscriptionBase::SubscriptionBase(Pavo::Node* node, Pavo::FieldId fieldId,
                                   Expected const& expected, DeliverFn deliver,
                                   std::function<void()> onGone)
    : node_(nullptr), fieldId_(fieldId), deliver_(deliver), onGone_(std::move(onGone)) {
  if (node == nullptr)
    throw Pavo::Exception("Subscription to a null entity");
  checkField(*node, fieldId, expected.key, expected.prior, expected.priorIsPtr);
  record_.subscribe(*node->publisher());
  node_ = node;
}

SubscriptionBase::~SubscriptionBase() {
  reset();
}

void SubscriptionBase::reset() noexcept {
  record_.unsubscribe();
}

void SubscriptionBase::dispatch(Pavo::Publisher*, Pavo::Subscriber* subscriber,
                                Pavo::FieldId fieldId, void const* key, void const* prior) {
  SubscriptionBase& self = Record::ownerOf(subscriber);
  if (fieldId == self.fieldId_)
    self.deliver_(self, key, prior);
}

void SubscriptionBase::gone(Pavo::Publisher*, Pavo::Subscriber* subscriber) noexcept {
  SubscriptionBase& self = Record::ownerOf(subscriber);  // unsubscribed already
  if (self.onGone_)
    self.onGone_();
}

}  // namespace SegmentRouting::Mappers
