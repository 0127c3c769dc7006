#include "Pavo/Publisher.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
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
// not yet called are skipped, added ones wait for the next publication, a
// nested publication runs in full before the outer one continues, a throwing
// dispatch ends the publication but not the publisher, and nobody else is
// skipped or called twice. Subscribers a, b and c are subscribed, d is not;
// each case gives some of them a script run in their first dispatch:
// "-x" removes x, "+x" adds x, "*" publishes (nested), "!" throws.
TEST(PublisherTest, SubscriberListChangesDuringADispatch) {
  struct Case {
    std::vector<std::pair<char, char const*>> scripts;
    Names first;   // called by the publication that runs the scripts
    Names second;  // called by the next one
  };
  Case const cases[] = {
      {{{'a', "-a"}}, {"a", "b", "c"}, {"b", "c"}},
      {{{'a', "-c"}}, {"a", "b"}, {"a", "b"}},
      {{{'c', "-a"}}, {"a", "b", "c"}, {"b", "c"}},
      {{{'a', "-a-b-c"}}, {"a"}, {}},
      {{{'b', "+d"}}, {"a", "b", "c"}, {"a", "b", "c", "d"}},
      {{{'a', "-b+b"}}, {"a", "c"}, {"a", "c", "b"}},
      {{{'a', "-b*+b"}}, {"a", "a", "c", "c"}, {"a", "c", "b"}},  // b hidden from both
      {{{'a', "-c"}, {'b', "!"}}, {"a", "b"}, {"a", "b"}},
  };
  for (auto const& tc : cases) {
    std::string trace;
    for (auto const& [who, script] : tc.scripts)
      trace += std::string(1, who) + ": " + script + " ";
    SCOPED_TRACE(trace);
    Pavo::Publisher pub;
    std::vector<Call> log;
    std::array<Recorder, 4> s{Recorder("a", &log), Recorder("b", &log), Recorder("c", &log),
                              Recorder("d", &log)};
    for (int i = 0; i < 3; ++i)
      pub.subscriberAdd(&s[i].sub, false);
    bool throws = false;
    for (auto const& [who, script] : tc.scripts) {
      throws = throws || std::string_view(script) == "!";
      s[who - 'a'].action = [&pub, &s, script = std::string_view(script), once = true]() mutable {
        if (!std::exchange(once, false))
          return;
        for (std::size_t i = 0; i < script.size(); ++i) {
          char const op = script[i];
          if (op == '!')
            throw std::runtime_error("handler failed");
          if (op == '*') {
            pub.publishChangeRecursive(131, nullptr, nullptr, nullptr);
            continue;
          }
          Pavo::Subscriber* const other = &s[script[++i] - 'a'].sub;
          if (op == '-')
            pub.subscriberRemove(other);
          else
            pub.subscriberAdd(other, false);
        }
      };
    }
    try {
      pub.publishChangeRecursive(130, nullptr, nullptr, nullptr);
      EXPECT_FALSE(throws);
    } catch (std::runtime_error const&) {
      EXPECT_TRUE(throws);
      EXPECT_EQ(pub.keyIsEq(), nullptr) << "no publication in progress any more";
    }
    EXPECT_EQ(names(log), tc.first);
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
