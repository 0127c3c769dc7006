// ChangeLog: follows a registered entity and every child entity reachable
// through its collections, and hands each published change, as data, to a
// sink.
//
//   ChangeLog log([](Change const& c) { std::cout << changeLine(c) << "\n"; });
//   log.follow(*root, "root");
//   ... changes ...   // "root/routerToNodeSegmentMap[0] 131 prefixMap[10.0.0.1:0] added"
//
// Everything is found through the type registration: the attribute of a
// field id, its key and value types, and which collections hold entities.
// Children that appear are followed from their addition on; children that go
// are dropped, with everything below them, at their removal. Each followed
// entity has a unique path (parent path / attribute[key]). The log holds no
// reference: it must be destroyed, or unfollowAll() called, while the
// followed entities are alive.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Pavo/Node.h"
#include "Pavo/Publisher.h"

namespace Srmap {

struct Change {
  enum class Kind { added, replaced, removed };
  std::string path;  // the entity that published
  Pavo::FieldId fieldId = 0;
  std::string attr;  // "" when the field id is not registered
  std::string key;
  Kind kind = Kind::added;
  std::optional<std::string> prior;  // a value's prior text; none for entity members
};

char const* changeKindName(Change::Kind kind) noexcept;
// "path fieldId attr[key] added|replaced|removed[ (was prior)]".
std::string changeLine(Change const& change);

class ChangeLog {
 public:
  using Sink = std::function<void(Change const&)>;

  explicit ChangeLog(Sink sink) : sink_(std::move(sink)) {}
  ChangeLog(ChangeLog const&) = delete;
  ChangeLog& operator=(ChangeLog const&) = delete;
  ~ChangeLog() { unfollowAll(); }

  // Subscribes to `entity` and, recursively, to its child entities.
  void follow(Pavo::Node& entity, std::string const& path);
  void unfollowAll();
  std::size_t followed() const { return watches_.size(); }

 private:
  struct Watch {
    Pavo::Subscriber record;  // first member: the dispatch function finds its Watch
    ChangeLog* log;
    Pavo::Node* node;
    std::string path;
  };

  static void dispatch(Pavo::Publisher* publisher, Pavo::Subscriber* subscriber,
                       Pavo::FieldId fieldId, void const* key, void const* prior);
  void onChange(Watch const& watch, Pavo::FieldId fieldId, void const* key, void const* prior);
  // Drops the watch of `path` and of everything below it.
  void unfollow(std::string const& path);

  Sink sink_;
  std::vector<std::unique_ptr<Watch>> watches_;
};

}  // namespace Srmap
