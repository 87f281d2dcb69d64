#pragma once
// A picture as a PNG file, written by the program itself: 8-bit RGB, its
// image data in stored (uncompressed) deflate blocks, which every reader
// takes. Pictures of dialogs are small, so the size does not matter.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

// `rgb` holds `height` rows of `width` pixels, top to bottom, three bytes
// (red, green, blue) each. "" when the sizes do not agree or either is 0.
std::string EncodePng(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb);

// The checksums the format names: CRC-32 (ISO 3309) of each chunk, Adler-32
// of the zlib stream.
std::uint32_t Crc32(std::string_view bytes);
std::uint32_t Adler32(std::string_view bytes);

}  // namespace kestrow
