#include "Pavo/Publisher.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Recorder {
  Pavo::Subscriber sub{&Recorder::dispatch};
  std::vector<Pavo::FieldId> fields;
  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId f, void const*,
                       void const*) {
    reinterpret_cast<Recorder*>(s)->fields.push_back(f);
  }
};

TEST(PublisherTest, DeliversToEverySubscriberOnce) {
  Pavo::Publisher pub;
  Recorder a, b;
  pub.subscriberAdd(&a.sub, false);
  pub.subscriberAdd(&a.sub, false);
  pub.subscriberAdd(&b.sub, false);
  pub.publishChangeRecursive(130, nullptr, nullptr, nullptr);
  EXPECT_EQ(a.fields, std::vector<Pavo::FieldId>{130});
  EXPECT_EQ(b.fields, std::vector<Pavo::FieldId>{130});
}

}  // namespace
