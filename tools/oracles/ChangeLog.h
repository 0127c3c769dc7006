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
// Children that appear are followed from their addition on, under their
// parent's path and one step more: the attribute and the child's key. A
// removed child is followed until it is
// destroyed, under the path it had: the removals it publishes as it empties
// (a map torn down with its holder) are changes its subscribers see too.
// Each entity is followed once; following it again only renames it. The log
// holds no reference: an entity destroyed while followed is dropped as it
// goes, and destroying the log, or unfollowAll(), unsubscribes from the rest.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "oracles/GenericText.h"
#include "Pavo/Node.h"
#include "Pavo/Publisher.h"
#include "Pavo/ScopedSubscriber.h"

namespace Srmap {

struct Change {
  enum class Kind { added, replaced, removed };
  // The entity that published: the name its root was followed under, and
  // its path below that root.
  std::string map;
  Path path;
  Pavo::FieldId fieldId = 0;
  std::string attr;  // "" when the field id is not registered
  std::string key;
  Kind kind = Kind::added;
  std::optional<std::string> prior;  // a value's prior text; none for entity members
};

char const* changeKindName(Change::Kind kind) noexcept;
// "map/path fieldId attr[key] added|replaced|removed[ (was prior)]".
std::string changeLine(Change const& change);

class ChangeLog {
 public:
  using Sink = std::function<void(Change const&)>;

  explicit ChangeLog(Sink sink) : sink_(std::move(sink)) {}
  ChangeLog(ChangeLog const&) = delete;
  ChangeLog& operator=(ChangeLog const&) = delete;
  ~ChangeLog() { unfollowAll(); }

  // Subscribes to `entity`, followed as the root named `map`, and,
  // recursively, to its child entities.
  void follow(Pavo::Node& entity, std::string const& map) { follow(entity, map, {}); }
  void unfollowAll();
  // The publishing entities followed: those in the trees, and removed ones
  // still alive.
  std::size_t followed() const { return watches_.size(); }

 private:
  static void dispatch(Pavo::Publisher* publisher, Pavo::Subscriber* subscriber,
                       Pavo::FieldId fieldId, void const* key, void const* prior);
  static void gone(Pavo::Publisher* publisher, Pavo::Subscriber* subscriber) noexcept;

  struct Watch {
    Watch(ChangeLog& log, Pavo::Node& node, std::string map, Path path)
        : log(&log), node(&node), map(std::move(map)), path(std::move(path)) {}

    ChangeLog* log;
    Pavo::Node* node;  // publishes, and is alive while the Watch exists
    std::string map;
    Path path;
    Pavo::ScopedSubscriber<Watch, &ChangeLog::dispatch, &ChangeLog::gone> record{*this};
  };
  using Record = decltype(Watch::record);

  void follow(Pavo::Node& entity, std::string const& map, Path const& path);

  void onChange(Watch const& watch, Pavo::FieldId fieldId, void const* key, void const* prior);

  Sink sink_;
  std::vector<std::unique_ptr<Watch>> watches_;
};

}  // namespace Srmap
