// The NodeSegmentReverseMapper module: its type registration record and the
// type index of each of its four registered types.
#pragma once

#include <cstdint>

#include "Pavo/TypeData.h"

namespace SegmentRouting::Mappers {

inline constexpr std::uint32_t kRouterToNodeSegmentTypeIndex = 0;
inline constexpr std::uint32_t kRouterToNodeSegmentMapTypeIndex = 1;
inline constexpr std::uint32_t kRouterToNodeSegmentMapPerAlgoTypeIndex = 2;
inline constexpr std::uint32_t kNodeSegmentReverseMapperTypeIndex = 3;

// Registered from this module's static initialiser.
Pavo::ModuleInspectData const& nodeSegmentModule();

}  // namespace SegmentRouting::Mappers
