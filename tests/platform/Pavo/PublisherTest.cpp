#include "Pavo/Publisher.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
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
  Pavo::IsEqFn isEq;  // the key's equality, as the publisher tells it during the call
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
    self->log->push_back({self->name, p, f, k, prior, p->keyIsEq()});
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

// Each subscriber is called once per publication, in subscription order, with
// the publication's arguments, and the key's equality is known while it runs
// (and only then); adding a subscriber twice or removing one that is not
// there changes nothing. Changes to the subscriber list from inside a
// dispatch: removed subscribers not yet called are skipped, added ones wait
// for the next publication, a nested publication runs in full before the
// outer one continues, a throwing dispatch ends the publication but not the
// publisher, and nobody else is skipped or called twice. Subscribers a, b and
// c are subscribed (a twice), d is not; each case gives some of them a script
// run in their first dispatch: "-x" removes x, "+x" adds x, "*" publishes
// (nested), "!" throws.
TEST(PublisherTest, DeliversToEachSubscriberOnceAsTheListChangesDuringADispatch) {
  struct Case {
    std::vector<std::pair<char, char const*>> scripts;
    Names first;   // called by the publication that runs the scripts
    Names second;  // called by the next one
  };
  Case const cases[] = {
      {{}, {"a", "b", "c"}, {"a", "b", "c"}},
      {{{'a', "-d+b"}}, {"a", "b", "c"}, {"a", "b", "c"}},
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
    int key = 5;
    std::string prior = "old";
    std::array<Recorder, 4> s{Recorder("a", &log), Recorder("b", &log), Recorder("c", &log),
                              Recorder("d", &log)};
    for (int i : {0, 1, 2, 0})
      pub.subscriberAdd(&s[i].sub, false);
    bool throws = false;
    for (auto const& [who, script] : tc.scripts) {
      throws = throws || std::string_view(script) == "!";
      s[who - 'a'].action = [&, script = std::string_view(script), once = true]() mutable {
        if (!std::exchange(once, false))
          return;
        for (std::size_t i = 0; i < script.size(); ++i) {
          char const op = script[i];
          if (op == '!')
            throw std::runtime_error("handler failed");
          if (op == '*') {
            pub.publishChangeRecursive(131, &key, &prior, &intEq);
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
      pub.publishChangeRecursive(131, &key, &prior, &intEq);
      EXPECT_FALSE(throws);
    } catch (std::runtime_error const&) {
      EXPECT_TRUE(throws);
    }
    EXPECT_EQ(pub.keyIsEq(), nullptr) << "no publication in progress any more";
    EXPECT_EQ(names(log), tc.first);
    std::size_t const firstCalls = log.size();
    pub.publishChangeRecursive(130, &key, nullptr, &intEq);
    Names const all = names(log);
    EXPECT_EQ(Names(all.begin() + firstCalls, all.end()), tc.second);
    EXPECT_EQ(pub.subscriberCount(), tc.second.size());
    EXPECT_EQ(pub.hasSubscribers(), !tc.second.empty());
    for (std::size_t i = 0; i < log.size(); ++i) {
      Call const& c = log[i];
      EXPECT_TRUE(c.publisher == &pub && c.key == &key && c.isEq == &intEq) << c.who;
      EXPECT_EQ(c.field, i < firstCalls ? 131u : 130u);
      EXPECT_EQ(c.prior, i < firstCalls ? &prior : nullptr);
    }
  }
}

}  // namespace
