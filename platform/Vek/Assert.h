// Vek assertions: a broken internal invariant stops the process, with a
// message that names the condition, the source module and the function.
//
//   Vek::assertThat(cacheHas(id), "cacheHas( id )", "Pathkit/Module", kSignature);
//
// writes one line to stderr and aborts:
//
//   assertion failed: cacheHas( id ) [source Pathkit/Module] in <signature>
//
// The condition's text is given as written in the module's contract, so it
// does not depend on how the compiler spells the expression. A passing check
// costs one branch.
#pragma once

namespace Vek {

[[noreturn]] void assertionFailed(char const* text, char const* source,
                                  char const* function) noexcept;

inline void assertThat(bool holds, char const* text, char const* source, char const* function) {
  if (!holds) [[unlikely]]
    assertionFailed(text, source, function);
}

}  // namespace Vek
