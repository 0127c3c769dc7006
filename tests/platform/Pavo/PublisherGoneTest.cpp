#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Pavo/Publisher.h"

namespace {

// A record that logs its `gone` call and may unsubscribe another record then.
struct Watcher {
  Pavo::Subscriber sub{&dispatch, &gone};  // first member: the record
  int id;
  std::vector<int>* told;
  Watcher* dropOnGone = nullptr;

  Watcher(int i, std::vector<int>* t) : id(i), told(t) {}

  static void dispatch(Pavo::Publisher*, Pavo::Subscriber*, Pavo::FieldId, void const*,
                       void const*) {}
  static void gone(Pavo::Publisher* p, Pavo::Subscriber* s) noexcept {
    auto* self = reinterpret_cast<Watcher*>(s);
    EXPECT_FALSE(p->subscriberHas(s));
    self->told->push_back(self->id);
    if (self->dropOnGone)
      p->subscriberRemove(&self->dropOnGone->sub);
  }
};

TEST(PublisherGoneTest, TellsEachSubscribedRecordOnceLastFirstSkippingOnesRemovedMeanwhile) {
  std::vector<int> told;
  Watcher a(1, &told), b(2, &told), c(3, &told), d(4, &told);
  Pavo::Subscriber silent{&Watcher::dispatch};  // no `gone`: dropped without a word
  c.dropOnGone = &a;
  {
    auto publisher = std::make_unique<Pavo::Publisher>();
    for (auto* s : {&a.sub, &silent, &b.sub, &c.sub, &d.sub})
      publisher->subscriberAdd(s, false);
    publisher->subscriberRemove(&b.sub);
  }
  EXPECT_EQ(told, (std::vector<int>{4, 3}));
}

}  // namespace
