// Membly: the shared-memory allocator's load-time set-up.
//
// The buffer alignment is fixed once per process, by the first module whose
// static initialiser runs: each module holds one `Membly::ModuleInit` at
// namespace scope. The alignment is kDefaultAlignment unless the environment
// variable MEMBLY_BUFFER_ALIGNMENT_OVERRIDE names a power of two from
// kMinAlignment to kMaxAlignment, in decimal or 0x-hex ("010" is ten;
// Vek/Setting.h). Any other value, empty included, is reported once on
// standard error and keeps the default. Nothing here ever fails or throws.
#pragma once

#include <cstddef>

namespace Membly {

inline constexpr std::size_t kDefaultAlignment = 64;
inline constexpr std::size_t kMinAlignment = 8;
inline constexpr std::size_t kMaxAlignment = 4096;

// The alignment in force (fixing it first if no module has yet).
std::size_t bufferAlignment() noexcept;

// What an override text would give: the parsed alignment when valid, else
// the default (and, unless `text` is null, the one message on standard error).
std::size_t alignmentFromText(char const* text) noexcept;

struct ModuleInit {
  ModuleInit() noexcept { (void)bufferAlignment(); }
};

}  // namespace Membly
