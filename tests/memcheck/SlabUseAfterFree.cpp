// slab_use_after_free: reads one byte of a slab slot after giving the slot
// back. Run only under valgrind's memcheck (scripts/memcheck.sh), which must
// report exactly that read as invalid; natively the read goes unnoticed.
#include <cstdio>
#include <cstring>

#include "Granule/Slab.h"

int main() {
  constexpr std::size_t kSize = 48;
  void* const kept = Granule::slabAlloc(kSize);
  auto* const freed = static_cast<unsigned char*>(Granule::slabAlloc(kSize));
  std::memset(freed, 0x5A, kSize);
  Granule::slabFree(freed, kSize);
  // The slot is still mapped inside its chunk: only the allocator's client
  // requests make this read visible.
  unsigned char const late = *static_cast<unsigned char volatile*>(freed + 8);
  std::printf("read %d from a freed slot\n", late);
  Granule::slabFree(kept, kSize);
  return 0;
}
