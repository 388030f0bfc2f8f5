// The layout of the small and tiny battery meter pictures, shared by the
// program that makes them and the code that draws them. A picture holds the
// battery outline (width x height) at the top and, below it, the level
// bar's three rows, each barWidth x barHeight at x 0: row 0 the empty track,
// row 1 the fill, row 2 the look above 100 percent. The bar goes inside the
// outline at (barX, barY). Sizes are at 96 DPI; the large pictures are the
// same layout at twice the size.
#pragma once

namespace pelmora {

struct BatteryMeterLayout {
  int width;
  int height;
  int barX;
  int barY;
  int barWidth;
  int barHeight;
};

// Small: right of the battery picture, above the label line.
inline constexpr BatteryMeterLayout kSmallBatteryMeter{29, 8, 2, 2, 23, 4};
// Tiny: the whole bank is the meter (no label line).
inline constexpr BatteryMeterLayout kTinyBatteryMeter{42, 10, 2, 2, 35, 6};

}  // namespace pelmora
