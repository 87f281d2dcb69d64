#include "listing/FolderEntry.h"

namespace kestrow {

bool FolderMayBeEntered(std::uint32_t attributes, std::uint32_t reparseTag) {
    if (attributes & (FolderAttribute::Hidden | FolderAttribute::System)) return false;
    if (!(attributes & FolderAttribute::ReparsePoint)) return true;
    return (reparseTag & ~ReparseTag::CloudVariantBits) == ReparseTag::Cloud;
}

}  // namespace kestrow
