#include "Pavo/ScopedSubscriber.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Records the field ids it is handed, and whether its publisher went first.
struct Watcher {
  static void changed(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId fieldId, void const*,
                      void const*) {
    Record::ownerOf(s).fields.push_back(fieldId);
  }
  static void gone(Pavo::Publisher*, Pavo::Subscriber* s) noexcept {
    Record::ownerOf(s).told = true;
  }
  using Record = Pavo::ScopedSubscriber<Watcher, &changed, &gone>;

  std::vector<Pavo::FieldId> fields;
  bool told = false;
  Record record{*this};
};

// Counts calls; no gone function of its own.
struct Counter {
  static void changed(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId, void const*,
                      void const*) {
    ++Record::ownerOf(s).calls;
  }
  using Record = Pavo::ScopedSubscriber<Counter, &changed>;

  int calls = 0;
  Record record{*this};
};

// A dispatch function that recovers the wrong kind of owner.
struct Mistaken {
  static void changed(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId, void const*,
                      void const*) {
    Watcher::Record::ownerOf(s).told = true;
  }
  Pavo::ScopedSubscriber<Mistaken, &changed> record{*this};
};

void publish(Pavo::Publisher& publisher, Pavo::FieldId fieldId) {
  publisher.publishChangeRecursive(fieldId, nullptr, nullptr, nullptr);
}

TEST(ScopedSubscriberTest, EachRecordFindsItsOwnerAndKnowsWhetherItIsSubscribed) {
  Watcher a, b;
  Counter c;
  auto publisher = std::make_unique<Pavo::Publisher>();
  for (int twice = 0; twice < 2; ++twice) {
    a.record.subscribe(*publisher);
    b.record.subscribe(*publisher);
    c.record.subscribe(*publisher);
  }
  EXPECT_EQ(publisher->subscriberCount(), 3u);
  publish(*publisher, 130);
  b.record.unsubscribe();
  b.record.unsubscribe();
  EXPECT_FALSE(b.record.subscribed());
  publish(*publisher, 131);
  EXPECT_EQ(a.fields, (std::vector<Pavo::FieldId>{130, 131}));
  EXPECT_EQ(b.fields, (std::vector<Pavo::FieldId>{130}));
  EXPECT_EQ(c.calls, 2);

  // The publisher going first leaves every record unsubscribed, whether its
  // owner asked to be told or not, so destroying them later is safe.
  publisher.reset();
  EXPECT_TRUE(a.told);
  EXPECT_FALSE(b.told);
  EXPECT_FALSE(a.record.subscribed() || c.record.subscribed());
  EXPECT_EQ(a.record.publisher(), nullptr);
}

TEST(ScopedSubscriberDeathTest, ARecordDestroyedSubscribedOrTakenForAnotherKindStops) {
#ifdef NDEBUG
  GTEST_SKIP() << "assertions are compiled out of this build";
#else
  Pavo::Publisher publisher;
  EXPECT_DEATH(
      {
        auto watcher = std::make_unique<Watcher>();
        watcher->record.subscribe(publisher);
        watcher.reset();
      },
      "destroyed while still subscribed");
  EXPECT_DEATH(
      {
        Mistaken mistaken;
        mistaken.record.subscribe(publisher);
        publish(publisher, 130);
      },
      "another kind");
#endif
}

}  // namespace
