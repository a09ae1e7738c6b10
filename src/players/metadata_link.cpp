#include "players/metadata_link.h"

#ifndef TUNELET_HAS_METADATA_ENTRY_POINTS
namespace tunelet {
int ClassifyAndRead(std::u16string_view) { return 0; }
}  // namespace tunelet
#endif
