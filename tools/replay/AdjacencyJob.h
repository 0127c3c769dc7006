// The replay tool's adjacency job: the adjacency segment mapper over a small
// built-in topology, every notification of the connector map as it is
// published, and the final map.
#pragma once

#include "Vantre/AddressFamily.h"

namespace Replay {

// Plays the job for the mapper of `af`; framework errors pass out.
void adjacencyJob(Vantre::AddressFamily af);

}  // namespace Replay
