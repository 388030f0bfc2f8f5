// Shared by the fuzz targets: each target defines LLVMFuzzerTestOneInput and
// KsFuzzSeeds (sound inputs made by the writers in tools/, from which the
// driver mutates its corpus).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
std::vector<std::vector<std::uint8_t>> KsFuzzSeeds();

// A small picture with some structure, for image seeds.
imgconv::Picture FuzzPicture(std::uint32_t width, std::uint32_t height);
// Loads the bytes as an image into each of a few formats.
void FuzzLoadImage(const std::uint8_t* data, std::size_t size);
