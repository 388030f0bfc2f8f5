// Procedural skin images: nine-patch frames with gradients, their 1-bit
// masks and 8-bit alpha maps, and small icons, written as BMP files.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace skinart {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Image {
  Image(int w, int h, Rgb fill = {}) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
  Rgb& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  const Rgb& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  int width;
  int height;
  std::vector<Rgb> pixels;
};

// Bottom-up, uncompressed: 24 bits per pixel, or 8 bits with a grey
// palette of 256 entries (from the red channel).
std::string EncodeBmp24(const Image& image);
std::string EncodeBmp8Grey(const Image& image);

// A rounded rectangle with a vertical gradient and a one-pixel edge; outside
// the corners the colour is black.
Image RoundedFrame(int w, int h, int radius, Rgb top, Rgb bottom, Rgb edge);
// A plain vertical gradient with no edge: stretched over a form, nothing of
// it stands out as a band or a frame.
Image Gradient(int w, int h, Rgb top, Rgb bottom);
// White inside the rounded rectangle, black outside.
Image RoundedMask(int w, int h, int radius);
// Grey levels of a soft-edged rounded rectangle: 255 inside, fading to 0
// over `soft` pixels.
Image SoftAlpha(int w, int h, int radius, int soft);
// A filled triangle pointing left (or right) on a transparent-black field.
Image Arrow(int size, bool right, Rgb colour);

// The image turned over its diagonal (a left arrow becomes an up arrow).
Image Transposed(const Image& image);
// A check box frame, with a tick when checked.
Image CheckBox(int size, bool checked, Rgb edge);
// A check box for a control with a caption: a box of `box` pixels at the
// left of a w x h picture, centred in its height, white elsewhere. Its
// alpha map (LabelledCheckBoxAlpha) is opaque over the box and 8 elsewhere
// (the least that survives a 16-bit screen): white at 8/256 brightens a
// light background by a level or two, and the caption's part still counts
// as the control's for a tap.
Image LabelledCheckBox(int w, int h, int box, bool checked, Rgb edge);
Image LabelledCheckBoxAlpha(int w, int h, int box);
// The storage pictograms: main memory (a chip) or a storage card.
Image Pictogram(int size, bool card);

// The named images (file name, BMP bytes) of the default skin set.
std::vector<std::pair<std::string, std::string>> DefaultSet();

}  // namespace skinart
