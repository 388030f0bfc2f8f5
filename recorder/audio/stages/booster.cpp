#include "audio/booster.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace audio {
namespace {

constexpr std::int64_t kOne = 16384;  // 1.0 in the 2.14 gain factors

std::int64_t magnitude(std::int64_t v) { return v < 0 ? -v : v; }

// Stores a scaled sample; a sample louder than the peak it was scaled for
// may pass full scale, and is held there rather than wrapping into a click.
std::int16_t saturate(std::int64_t v) { return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, -32768, 32767)); }

std::int16_t scale(std::int16_t s, std::int64_t factor) { return saturate(s * factor / kOne); }

bool crosses(const std::int16_t* s, std::int64_t i) {
  return static_cast<std::int32_t>(s[i - 1]) * static_cast<std::int32_t>(s[i]) <= 0;
}

// 16-bit mono with a rate: a block without a rate has no look-ahead window
// and would be held for ever.
bool boostable(const PCMData& block) { return block.bits == 16 && block.channels == 1 && block.rate != 0; }

// Samples of the analysis buffer, reused between blocks.
thread_local std::vector<std::int16_t> t_samples;

}  // namespace

Booster::Booster() { set_gain(1); }

Booster::~Booster() = default;

void Booster::set_gain(std::int32_t gain) {
  // The curve divides by the gain: a factor below 1 would divide by zero or
  // invert the signal, so it means "no change".
  const std::int32_t g = std::max<std::int32_t>(gain, 1);
  liba::Lock hold(Consumer<PCMData>::lock);
  gain_ = g;
  knee_in_ = 200;
  limit_out_ = 20000;
  knee_out_ = std::clamp<std::int32_t>(static_cast<std::int32_t>((3ll * 200 * g) / (g + 4ll)), 200, 19999);
  limit_in_ = std::clamp<std::int32_t>(200 + (20000 - knee_out_) / g, 201, 32767);
}

std::int32_t Booster::get_gain() {
  liba::Lock hold(Consumer<PCMData>::lock);
  return gain_;
}

std::uint32_t Booster::get_held_bytes() {
  liba::Lock hold(Consumer<PCMData>::lock);
  return held_.size();
}

std::int64_t Booster::curve(std::int32_t x) const {
  const std::int64_t u = magnitude(x);
  std::int64_t x0, y0, x1, y1;
  if (u < knee_in_) {
    x0 = 0, y0 = 0, x1 = knee_in_, y1 = knee_out_;
  } else if (u < limit_in_) {
    x0 = knee_in_, y0 = knee_out_, x1 = limit_in_, y1 = limit_out_;
  } else {
    x0 = limit_in_, y0 = limit_out_, x1 = 32768, y1 = 32768;
  }
  return (y1 * (u - x0) + y0 * (x1 - u)) * kOne / (x1 - x0);
}

std::int64_t Booster::factor(std::int32_t peak) const {
  if (peak == 0) return 0;
  return curve(peak) / magnitude(peak);
}

void Booster::on_data(const PCMData& block) {
  liba::Lock hold(Consumer<PCMData>::lock);
  const bool boost = gain_ != 1 && boostable(block);
  // Held samples go first whenever the new block cannot join them, so the
  // order of the audio is kept.
  if (held_.size() != 0 && (!boost || !block.same_format(held_))) push_held_unchanged();
  if (!boost) {
    push(block);
    return;
  }
  const std::uint32_t total = held_.size() + block.size();
  SharedBuffer joined(total);
  std::uint8_t* bytes = joined.make_unique();
  if (held_.size() != 0) std::memcpy(bytes, held_.buffer.data(), held_.size());
  if (block.size() != 0) std::memcpy(bytes + held_.size(), block.buffer.data(), block.size());
  const std::int64_t n = total / 2;
  std::vector<std::int16_t>& s = t_samples;
  s.resize(static_cast<std::size_t>(n));
  if (n != 0) std::memcpy(s.data(), bytes, static_cast<std::size_t>(n) * 2);
  const std::uint32_t final_bytes = analyse(s.data(), n, block.rate);
  if (final_bytes != 0) std::memcpy(bytes, s.data(), final_bytes);
  held_ = PCMData(SharedBuffer(joined, final_bytes, total - final_bytes), block.channels, block.bits, block.rate);
  if (final_bytes != 0) push(PCMData(SharedBuffer(joined, 0, final_bytes), block.channels, block.bits, block.rate));
}

PCMData& Booster::get_data(PCMData& out, std::uint32_t count) {
  liba::Lock hold(Consumer<PCMData>::lock);
  return pull(out, count);
}

void Booster::push_held_unchanged() {
  const PCMData held = held_;
  held_ = PCMData();
  push(held);
}

void Booster::flush() {
  liba::Lock hold(Consumer<PCMData>::lock);
  if (held_.size() == 0) return;
  PCMData out = held_;
  held_ = PCMData();
  const std::int64_t g = factor(last_peak_);
  // Before any control peak the samples keep their values.
  if (g != 0) {
    std::uint8_t* bytes = out.buffer.make_unique();
    for (std::uint32_t i = 0; i + 1 < out.size(); i += 2) {
      std::int16_t v;
      std::memcpy(&v, bytes + i, 2);
      v = scale(v, g);
      std::memcpy(bytes + i, &v, 2);
    }
  }
  push(out);
}

void Booster::reset() {
  liba::Lock hold(Consumer<PCMData>::lock);
  held_ = PCMData();
  last_peak_ = 0;
  resume_ = 0;
}

std::uint32_t Booster::analyse(std::int16_t* s, std::int64_t n, std::int64_t rate) {
  const std::int64_t w = rate / 10;  // 100 ms of look-ahead
  const std::int64_t limit = n - w;
  if (n == 0 || rate <= 0 || limit <= 0) return 0;

  std::int64_t a = 0, h = 0, best = 0, best_end = 0;
  std::int32_t best_peak = last_peak_;
  while (h < limit) {
    // The half-wave h..e-1 ends where the sign changes.
    std::int64_t e = h + 1;
    while (e < n && !crosses(s, e)) ++e;
    if (e >= n) break;

    const std::int64_t end = std::min(e, limit);
    std::int64_t k = h;
    for (std::int64_t i = h + 1; i < end; ++i) {
      if (magnitude(s[i]) > magnitude(s[k])) k = i;
    }
    const std::int32_t p = s[k];
    if (p == 0) {
      h = e;
      continue;
    }

    // Dominance: the distance to the nearest larger neighbour.
    const std::int64_t mp = magnitude(p);
    std::int64_t d = w;
    for (std::int64_t dd = 1; dd < w; ++dd) {
      if ((k - dd >= a && magnitude(s[k - dd]) > mp) || (k + dd < n && magnitude(s[k + dd]) > mp)) {
        d = dd;
        break;
      }
    }
    if (d >= best) {
      best = d;
      best_end = e;
      best_peak = p;
    }
    if (d < w) {
      h = e;
      continue;
    }

    // A control peak: move from the old gain to the new one at a zero
    // crossing in the quiet stretch before this half-wave.
    const std::int64_t g_new = factor(p);
    const std::int64_t g_old = factor(last_peak_);
    if (e >= n - 1) e = n;
    std::int64_t r0 = a, r1 = h;
    if (magnitude(last_peak_) < mp) {
      std::int64_t seen = -1;
      for (std::int64_t i = a + 1; i < h; ++i) {
        if (crosses(s, i)) seen = i;
        if (magnitude(s[i]) > magnitude(last_peak_)) break;
      }
      r1 = seen >= 0 ? seen : h;
    } else {
      std::int64_t seen = -1;
      for (std::int64_t i = h - 1; i > a; --i) {
        if (magnitude(s[i]) > mp) break;
        if (crosses(s, i)) seen = i;
      }
      r0 = seen >= 0 ? seen : a;
      for (std::int64_t i = a; i < r0; ++i) s[i] = scale(s[i], g_old);
    }
    const std::int64_t m = r1 - r0;
    for (std::int64_t j = 0; j < m; ++j) {
      const __int128 mix = static_cast<__int128>(g_old) * (m - j) + static_cast<__int128>(g_new) * j;
      s[r0 + j] = saturate(static_cast<std::int64_t>(s[r0 + j] * mix / (static_cast<__int128>(m) * kOne)));
    }
    for (std::int64_t i = r1; i < e; ++i) s[i] = scale(s[i], g_new);

    last_peak_ = p;
    resume_ = e;
    a = h = e;
    if (e >= limit) break;
  }

  if (resume_ != 0) {
    const std::int64_t done = resume_;
    resume_ = 0;
    return static_cast<std::uint32_t>(2 * done);
  }
  if (n <= rate) return 0;
  // More than a second held without a control peak: release up to the most
  // dominant half-wave (or everything) unchanged, so the look-ahead never
  // grows without bound.
  if (best_end == 0) return static_cast<std::uint32_t>(2 * n);
  if (magnitude(last_peak_) < magnitude(best_peak)) last_peak_ = best_peak;
  return static_cast<std::uint32_t>(2 * best_end);
}

}  // namespace audio
