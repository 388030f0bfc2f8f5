// Shared by the engine's fuzz targets: each target defines
// LLVMFuzzerTestOneInput and KsFuzzSeeds (sound inputs made by the writers in
// formats/, from which the driver mutates its corpus).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_driver.h"
#include "image_writer.h"

// A small picture with some structure, for image seeds.
imgconv::Picture FuzzPicture(std::uint32_t width, std::uint32_t height);
// Loads the bytes as an image into each of a few formats.
void FuzzLoadImage(const std::uint8_t* data, std::size_t size);
