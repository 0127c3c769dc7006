#include "Pavo/ScopedSubscriber.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

// Records the field ids it is handed. Told that its publisher went, it
// notes its id and unsubscribes `drop`.
struct Watcher {
  static void changed(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId fieldId, void const*,
                      void const*) {
    Record::ownerOf(s).fields.push_back(fieldId);
  }
  static void gone(Pavo::Publisher* p, Pavo::Subscriber* s) noexcept {
    Watcher& self = Record::ownerOf(s);
    EXPECT_FALSE(p->subscriberHas(s) || self.record.subscribed());
    self.told->push_back(self.id);
    if (self.drop != nullptr)
      self.drop->record.unsubscribe();
  }
  using Record = Pavo::ScopedSubscriber<Watcher, &changed, &gone>;

  Watcher(int i, std::vector<int>* t, Watcher* d = nullptr) : id(i), told(t), drop(d) {}
  int id;
  std::vector<int>* told;
  Watcher* drop;
  std::vector<Pavo::FieldId> fields;
  Record record{*this};
};

// Counts calls and runs `action` in each; no gone function of its own.
struct Counter {
  static void changed(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId, void const*,
                      void const*) {
    Counter& self = Record::ownerOf(s);
    ++self.calls;
    if (self.action)
      self.action();
  }
  using Record = Pavo::ScopedSubscriber<Counter, &changed>;

  int calls = 0;
  std::function<void()> action;
  Record record{*this};
};

// A dispatch function that recovers the wrong kind of owner.
struct Mistaken {
  static void changed(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId, void const*,
                      void const*) {
    Watcher::Record::ownerOf(s).id = 0;
  }
  Pavo::ScopedSubscriber<Mistaken, &changed> record{*this};
};

void publish(Pavo::Publisher& publisher, Pavo::FieldId fieldId) {
  publisher.publishChangeRecursive(fieldId, nullptr, nullptr, nullptr);
}

// Each record finds its owner, subscribes and unsubscribes once however often
// asked, and is subscribed exactly while its publisher holds it. A dying
// publisher leaves every record unsubscribed, whether its owner asked to be
// told or not (so destroying them later is safe), and tells those that asked,
// last subscribed first, skipping records removed meanwhile; it stops a
// publication that destroys it.
TEST(ScopedSubscriberTest, EachRecordFindsItsOwnerAndFollowsItsPublisher) {
  std::vector<int> told;
  Watcher a(1, &told), b(2, &told), c(3, &told, &a), d(4, &told);
  Counter first, last;
  auto publisher = std::make_unique<Pavo::Publisher>();
  for (int twice = 0; twice < 2; ++twice) {
    first.record.subscribe(*publisher);
    for (Watcher* w : {&a, &b, &c, &d})
      w->record.subscribe(*publisher);
    last.record.subscribe(*publisher);
  }
  EXPECT_EQ(publisher->subscriberCount(), 6u);
  publish(*publisher, 130);
  b.record.unsubscribe();
  b.record.unsubscribe();
  EXPECT_FALSE(b.record.subscribed());
  publish(*publisher, 131);
  EXPECT_EQ(a.fields, (std::vector<Pavo::FieldId>{130, 131}));
  EXPECT_EQ(b.fields, (std::vector<Pavo::FieldId>{130}));
  EXPECT_EQ(last.calls, 2);

  first.action = [&] { publisher.reset(); };
  publish(*publisher, 132);
  EXPECT_EQ(first.calls, 3);
  EXPECT_EQ(last.calls, 2);
  EXPECT_EQ(a.fields.size(), 2u);
  EXPECT_EQ(told, (std::vector<int>{4, 3}));
  EXPECT_FALSE(first.record.subscribed() || a.record.subscribed() || last.record.subscribed());
  EXPECT_EQ(d.record.publisher(), nullptr);
}

TEST(ScopedSubscriberDeathTest, ARecordDestroyedSubscribedOrTakenForAnotherKindStops) {
#ifdef NDEBUG
  GTEST_SKIP() << "assertions are compiled out of this build";
#else
  Pavo::Publisher publisher;
  EXPECT_DEATH(
      {
        std::unique_ptr<Watcher> watcher(new Watcher(1, nullptr));
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
