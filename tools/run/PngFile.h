// Saving a picture of 0x00BBGGRR pixels as an 8-bit RGB PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// False with a reason in `problem` when the file cannot be written.
bool SavePng(const std::string& path, const std::vector<uint32_t>& pixels, int32_t width,
             int32_t height, std::string& problem);
