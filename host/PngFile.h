// Saving a picture of machine pixels as a PNG file: one image pixel per machine pixel, the
// colour 0x00BBGGRR shown as red, green and blue.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// False with the reason on the error stack when the file cannot be written.
bool SavePixelsAsPng(const std::string& path, int32_t width, int32_t height,
                     const std::vector<uint32_t>& pixels);
