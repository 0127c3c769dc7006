// The scenario srmap plays when it is given none, in the scenario format.
#pragma once

namespace Srmap {

extern char const kDefaultScenario[];

}  // namespace Srmap
