// Decodes PNG, BMP and JPEG images into straight (not premultiplied) ARGB pixels.
#pragma once

#include <cstddef>
#include <string>

struct PixelImage;

class ImageDecoder {
public:
    // False, with image left empty, when the bytes are not an image the decoder knows.
    static bool decode(const unsigned char* data, std::size_t size, PixelImage& image);
    static bool decodeFile(const std::string& path, PixelImage& image);
};
