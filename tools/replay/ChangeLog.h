// ChangeLog: follows a registered entity and every child entity reachable
// through its collections, and writes one line per published change.
//
//   ChangeLog log(std::cout);
//   log.follow(*root, "root");
//   ... changes ...          // e.g. "root/routerToNodeSegmentMap[0] 131 prefixMap[10.0.0.1:0]
//   added"
//
// Everything is found through the type registration: the attribute of a
// field id, its key and value types, and which collections hold entities.
// Children that appear are followed from their addition on; children that go
// are dropped, with everything below them, at their removal. Each followed
// entity has a unique path (parent path / attribute[key]). The log holds no reference: it must be
// destroyed, or unfollowAll() called, while the followed entities are alive.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Pavo/Node.h"
#include "Pavo/Publisher.h"

namespace Replay {

class ChangeLog {
 public:
  explicit ChangeLog(std::ostream& out) : out_(out) {}
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

  std::ostream& out_;
  std::vector<std::unique_ptr<Watch>> watches_;
};

}  // namespace Replay
