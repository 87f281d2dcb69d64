#pragma once
// Which folders a walk of a tree enters, decided on the attribute bits and
// the reparse tag the file system reports for each (the values are the
// file system's own, so the rule can be checked without one).
#include <cstdint>

namespace kestrow {

namespace FolderAttribute {
constexpr std::uint32_t Hidden = 0x2;
constexpr std::uint32_t System = 0x4;
constexpr std::uint32_t ReparsePoint = 0x400;
}  // namespace FolderAttribute

namespace ReparseTag {
constexpr std::uint32_t MountPoint = 0xA0000003;  // a junction
constexpr std::uint32_t Symlink = 0xA000000C;
// The cloud files placeholders (files on demand): the plain tag and its
// sixteen variants 0x9000101A..0x9000F01A differ only in bits 12..15.
constexpr std::uint32_t Cloud = 0x9000001A;
constexpr std::uint32_t CloudVariantBits = 0x0000F000;
}  // namespace ReparseTag

// A cloud-synced folder holds the user's drafts like any other; junctions,
// symbolic links and every other or unknown reparse point may lead back up
// or out of the tree and are not entered, nor hidden or system folders.
bool FolderMayBeEntered(std::uint32_t attributes, std::uint32_t reparseTag);

}  // namespace kestrow
