// Pavo::ThreadControl: the process-wide thread-safe-pointer switch.
//
// While tsp_ is off (the default) reference counts are updated with plain
// loads and stores; while it is on they use atomic read-modify-write. Turn it
// on before a second thread touches shared counted objects, never while one
// does.
#pragma once

namespace Pavo {

struct ThreadControl {
  static inline bool tsp_ = false;
};

}  // namespace Pavo
