#include "Pavo/Publisher.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Call {
  std::string who;
  Pavo::Publisher* publisher;
  Pavo::FieldId field;
  void const* key;
  void const* prior;
};

// A subscriber whose dispatch logs the call and then runs an optional action.
struct Recorder {
  Pavo::Subscriber sub{&Recorder::dispatch};  // first member: the record
  std::string name;
  std::vector<Call>* log;
  std::function<void()> action;

  Recorder(std::string n, std::vector<Call>* l) : name(std::move(n)), log(l) {}
  static void dispatch(Pavo::Publisher* p, Pavo::Subscriber* s, Pavo::FieldId f, void const* k,
                       void const* prior) {
    auto* self = reinterpret_cast<Recorder*>(s);
    self->log->push_back({self->name, p, f, k, prior});
    if (self->action)
      self->action();
  }
};

std::vector<std::string> names(std::vector<Call> const& log) {
  std::vector<std::string> out;
  for (auto const& c : log)
    out.push_back(c.who);
  return out;
}

bool intEq(void const* a, void const* b) {
  return *static_cast<int const*>(a) == *static_cast<int const*>(b);
}

using Names = std::vector<std::string>;

TEST(PublisherTest, DeliversArgumentsToEachSubscriberOnceInSubscriptionOrder) {
  Pavo::Publisher pub;
  std::vector<Call> log;
  Recorder a("a", &log), b("b", &log);
  EXPECT_FALSE(pub.hasSubscribers());
  pub.subscriberAdd(&a.sub, false);
  pub.subscriberAdd(&b.sub, false);
  pub.subscriberAdd(&a.sub, false);  // already there
  EXPECT_EQ(pub.subscriberCount(), 2u);
  // The key's equality is available while a publication runs, and only then.
  Pavo::IsEqFn seen = nullptr;
  a.action = [&] { seen = pub.keyIsEq(); };
  int key = 5;
  std::string prior = "old";
  pub.publishChangeRecursive(131, &key, &prior, &intEq);
  EXPECT_EQ(seen, &intEq);
  EXPECT_EQ(pub.keyIsEq(), nullptr);
  ASSERT_EQ(names(log), (Names{"a", "b"}));
  for (auto const& c : log) {
    EXPECT_EQ(c.publisher, &pub);
    EXPECT_EQ(c.field, 131u);
    EXPECT_EQ(c.key, &key);
    EXPECT_EQ(c.prior, &prior);
  }
  pub.subscriberRemove(&a.sub);
  pub.subscriberRemove(&a.sub);  // not there any more
  log.clear();
  pub.publishChangeRecursive(130, &key, nullptr, &intEq);
  EXPECT_EQ(names(log), (Names{"b"}));
  EXPECT_EQ(log[0].prior, nullptr);
}

// Changes to the subscriber list from inside a dispatch: removed subscribers
// not yet called are skipped, added ones wait for the next publication, and
// nobody else is skipped or called twice.
TEST(PublisherTest, SubscriberListChangesDuringADispatch) {
  using Subs = std::array<Recorder, 4>;  // a, b, c subscribed; d not yet
  struct Case {
    char const* name;
    void (*arrange)(Pavo::Publisher&, Subs&);
    Names first;
    Names second;
    bool throws = false;
  };
  Case const cases[] = {
      {"self removal",
       [](Pavo::Publisher& pub, Subs& s) {
         s[0].action = [&] { pub.subscriberRemove(&s[0].sub); };
       },
       {"a", "b", "c"},
       {"b", "c"}},
      {"removal of a later one",
       [](Pavo::Publisher& pub, Subs& s) {
         s[0].action = [&] { pub.subscriberRemove(&s[2].sub); };
       },
       {"a", "b"},
       {"a", "b"}},
      {"removal of an earlier one",
       [](Pavo::Publisher& pub, Subs& s) {
         s[2].action = [&] { pub.subscriberRemove(&s[0].sub); };
       },
       {"a", "b", "c"},
       {"b", "c"}},
      {"removal of all",
       [](Pavo::Publisher& pub, Subs& s) {
         s[0].action = [&] {
           for (int i = 0; i < 3; ++i)
             pub.subscriberRemove(&s[i].sub);
         };
       },
       {"a"},
       {}},
      {"addition",
       [](Pavo::Publisher& pub, Subs& s) {
         s[1].action = [&] { pub.subscriberAdd(&s[3].sub, false); };
       },
       {"a", "b", "c"},
       {"a", "b", "c", "d"}},
      {"remove then add back the same one",
       [](Pavo::Publisher& pub, Subs& s) {
         s[0].action = [&] {
           pub.subscriberRemove(&s[1].sub);
           pub.subscriberAdd(&s[1].sub, false);
         };
       },
       {"a", "c"},
       {"a", "c", "b"}},
      {"a nested publication runs in full before the outer one continues",
       [](Pavo::Publisher& pub, Subs& s) {
         s[0].action = [&pub, &s, outer = true]() mutable {
           if (std::exchange(outer, false)) {
             pub.subscriberRemove(&s[1].sub);  // also hidden from the nested publication
             pub.publishChangeRecursive(131, nullptr, nullptr, nullptr);
             pub.subscriberAdd(&s[1].sub, false);
           }
         };
       },
       {"a", "a", "c", "c"},
       {"a", "c", "b"}},
      {"a throwing dispatch ends the publication, not the publisher",
       [](Pavo::Publisher& pub, Subs& s) {
         s[0].action = [&] { pub.subscriberRemove(&s[2].sub); };
         s[1].action = [] { throw std::runtime_error("handler failed"); };
       },
       {"a", "b"},
       {"a", "b"},
       true},
  };
  for (auto const& tc : cases) {
    SCOPED_TRACE(tc.name);
    Pavo::Publisher pub;
    std::vector<Call> log;
    Subs s{Recorder("a", &log), Recorder("b", &log), Recorder("c", &log), Recorder("d", &log)};
    for (int i = 0; i < 3; ++i)
      pub.subscriberAdd(&s[i].sub, false);
    tc.arrange(pub, s);
    try {
      pub.publishChangeRecursive(130, nullptr, nullptr, nullptr);
      EXPECT_FALSE(tc.throws);
    } catch (std::runtime_error const&) {
      EXPECT_TRUE(tc.throws);
      EXPECT_EQ(pub.keyIsEq(), nullptr) << "no publication in progress any more";
    }
    EXPECT_EQ(names(log), tc.first);
    for (Recorder& r : s)
      r.action = nullptr;
    log.clear();
    pub.publishChangeRecursive(130, nullptr, nullptr, nullptr);
    EXPECT_EQ(names(log), tc.second);
    EXPECT_EQ(pub.subscriberCount(), tc.second.size());
  }
}

// A dying publisher tells each subscribed record that has a `gone` call once,
// last first, skipping records removed meanwhile; it stops a publication that
// destroys it.
struct Watcher {
  Pavo::Subscriber sub{&dispatch, &gone};  // first member: the record
  int id;
  std::vector<int>* told;
  Watcher* dropOnGone;
  Watcher(int i, std::vector<int>* t, Watcher* drop = nullptr) : id(i), told(t), dropOnGone(drop) {}
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

TEST(PublisherTest, ADyingPublisherTellsItsWatchersAndStopsPublishing) {
  std::vector<int> told;
  Watcher a(1, &told), b(2, &told), c(3, &told, &a), d(4, &told);
  std::vector<Call> log;
  Recorder first("first", &log), last("last", &log);
  auto pub = std::make_unique<Pavo::Publisher>();
  first.action = [&] { pub.reset(); };
  for (auto* s : {&first.sub, &a.sub, &b.sub, &c.sub, &d.sub, &last.sub})
    pub->subscriberAdd(s, false);
  pub->subscriberRemove(&b.sub);
  pub->publishChangeRecursive(130, nullptr, nullptr, nullptr);
  EXPECT_EQ(names(log), (Names{"first"}));
  EXPECT_EQ(told, (std::vector<int>{4, 3}));
}

}  // namespace
