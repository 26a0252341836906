// A PNG file from pixels, with no library: the image data goes into stored
// (uncompressed) deflate blocks, which every PNG reader takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// rgb holds the rows top to bottom, three bytes a pixel, nothing between rows.
std::string EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);
