// The Layer III bit stream: main data written as one continuous run of bits
// with each frame's header and side information inserted at the bit position
// where its frame begins, so that main data may start in earlier frames (the
// bit reservoir, reached through the main-data back pointer).
#include <algorithm>
#include <cstring>

#include "encoder_state.h"
#include "tables.h"

namespace audio::mp3enc {
namespace {

void put_header_bits(HeaderEntry& h, std::uint32_t value, int n) {
  while (n > 0) {
    const int byte = h.fill >> 3;
    const int free = 8 - (h.fill & 7);
    const int take = std::min(n, free);
    const std::uint32_t bits = (value >> (n - take)) & ((1u << take) - 1);
    h.bytes[byte] = static_cast<std::uint8_t>(h.bytes[byte] | (bits << (free - take)));
    h.fill += take;
    n -= take;
  }
}

void build_header(const MP3EncoderParams& p, MP3EncoderState& s) {
  HeaderEntry& h = s.ring[s.fill_index];
  h.fill = 0;
  std::memset(h.bytes, 0, sizeof h.bytes);
  put_header_bits(h, p.output_rate < 16000 ? 0xFFE : 0xFFF, 12);
  put_header_bits(h, p.version, 1);
  put_header_bits(h, 1, 2);  // Layer III
  put_header_bits(h, 1, 1);  // no CRC
  put_header_bits(h, static_cast<std::uint32_t>(s.bitrate_index), 4);
  put_header_bits(h, static_cast<std::uint32_t>(s.rate_index), 2);
  put_header_bits(h, static_cast<std::uint32_t>(s.padding), 1);
  put_header_bits(h, 0, 1);  // private
  put_header_bits(h, static_cast<std::uint32_t>(p.mode), 2);
  put_header_bits(h, static_cast<std::uint32_t>(s.mode_extension), 2);
  put_header_bits(h, 0, 1);  // copyright
  put_header_bits(h, 1, 1);  // original
  put_header_bits(h, 0, 2);  // emphasis
  const int chans = s.channels_out;
  if (s.granules == 2) {
    put_header_bits(h, static_cast<std::uint32_t>(s.main_data_begin), 9);
    put_header_bits(h, 0, chans == 1 ? 5 : 3);
    for (int ch = 0; ch < chans; ++ch) put_header_bits(h, static_cast<std::uint32_t>(s.scfsi[ch]), 4);
  } else {
    put_header_bits(h, static_cast<std::uint32_t>(s.main_data_begin), 8);
    put_header_bits(h, 0, chans == 1 ? 1 : 2);
  }
  for (int gr = 0; gr < s.granules; ++gr)
    for (int ch = 0; ch < chans; ++ch) {
      GranuleInfo& gi = s.granule[gr][ch];
      for (int& t : gi.table_select)
        if (t == 14) t = 16;
      put_header_bits(h, static_cast<std::uint32_t>(gi.part2_3_length), 12);
      put_header_bits(h, static_cast<std::uint32_t>(gi.big_values / 2), 9);
      put_header_bits(h, static_cast<std::uint32_t>(gi.global_gain), 8);
      put_header_bits(h, static_cast<std::uint32_t>(gi.scalefac_compress), s.granules == 2 ? 4 : 9);
      put_header_bits(h, 0, 1);  // long blocks only
      for (int t : gi.table_select) put_header_bits(h, static_cast<std::uint32_t>(t), 5);
      put_header_bits(h, static_cast<std::uint32_t>(gi.region0_count), 4);
      put_header_bits(h, static_cast<std::uint32_t>(gi.region1_count), 3);
      if (s.granules == 2) put_header_bits(h, static_cast<std::uint32_t>(gi.preflag), 1);
      put_header_bits(h, static_cast<std::uint32_t>(gi.scalefac_scale), 1);
      put_header_bits(h, static_cast<std::uint32_t>(gi.count1_table), 1);
    }
  const std::int32_t position = h.position;
  s.fill_index = (s.fill_index + 1) % kHeaderRing;
  s.ring[s.fill_index].position = position + s.frame_bits;
}

// Writes the big values and the count-1 region of one granule.
int write_spectrum(MP3EncoderState& s, const GranuleInfo& gi, const std::int64_t* xr) {
  const std::int32_t* q = gi.quantised;
  const int bv = gi.big_values;
  const int a1 = std::min<int>(s.long_bands[gi.region0_count + 1], bv);
  const int a2 = std::min<int>(s.long_bands[gi.region0_count + gi.region1_count + 2], bv);
  const int bounds[4] = {0, a1, a2, bv};
  int written = 0;
  for (int r = 0; r < 3; ++r) {
    const int t = gi.table_select[r];
    if (t == 0) continue;
    const HuffTable& h = kHuffTables[t];
    for (int i = bounds[r]; i < bounds[r + 1]; i += 2) {
      int x = q[i], y = q[i + 1];
      std::uint32_t extra = 0;
      int extra_bits = 0;
      if (h.xlen == 16) {
        if (x > 14) {
          extra = static_cast<std::uint32_t>(x - 15);
          extra_bits = h.linbits;
          x = 15;
        }
        if (x != 0) {
          extra = (extra << 1) | (xr[i] < 0 ? 1u : 0u);
          ++extra_bits;
        }
        if (y > 14) {
          extra = (extra << h.linbits) | static_cast<std::uint32_t>(y - 15);
          extra_bits += h.linbits;
          y = 15;
        }
        if (y != 0) {
          extra = (extra << 1) | (xr[i + 1] < 0 ? 1u : 0u);
          ++extra_bits;
        }
      } else {
        if (x != 0) {
          extra = xr[i] < 0 ? 1u : 0u;
          extra_bits = 1;
        }
        if (y != 0) {
          extra = (extra << 1) | (xr[i + 1] < 0 ? 1u : 0u);
          ++extra_bits;
        }
      }
      const int idx = x * h.xlen + y;
      const int code_bits = h.lengths[idx] - (x != 0) - (y != 0);
      put_bits(s, h.codes[idx], code_bits);
      // Two linbits fields of up to 13 bits and two signs: at most 28 bits.
      put_bits(s, extra, extra_bits);
      written += code_bits + extra_bits;
    }
  }
  const std::uint8_t* codes = gi.count1_table ? kQuadCodesB : kQuadCodesA;
  const std::uint8_t* lengths = gi.count1_table ? kQuadLengthsB : kQuadLengthsA;
  for (int i = bv; i < gi.count1_end; i += 4) {
    const int idx = q[i] * 8 + q[i + 1] * 4 + q[i + 2] * 2 + q[i + 3];
    std::uint32_t code = codes[idx];
    int shift = 0;
    for (int k = 3; k >= 0; --k) {
      if (q[i + k] != 0) {
        if (xr[i + k] < 0) code |= 1u << shift;
        ++shift;
      }
    }
    put_bits(s, code, lengths[idx]);
    written += lengths[idx];
  }
  return written;
}

}  // namespace

void put_bits(MP3EncoderState& s, std::uint32_t value, int n) {
  while (n > 0) {
    if (s.free_bits == 0) {
      if (s.byte_index + 1 + 40 >= kStreamBytes) {
        s.stream_overflow = true;
        return;
      }
      ++s.byte_index;
      s.free_bits = 8;
      if (s.write_index != s.fill_index && s.total_bits == s.ring[s.write_index].position) {
        std::memcpy(s.stream + s.byte_index, s.ring[s.write_index].bytes, static_cast<std::size_t>(s.side_info_bytes));
        s.byte_index += s.side_info_bytes;
        s.total_bits += 8 * s.side_info_bytes;
        s.write_index = (s.write_index + 1) % kHeaderRing;
      }
      s.stream[s.byte_index] = 0;
    }
    const int take = std::min(n, s.free_bits);
    const std::uint32_t bits = (value >> (n - take)) & ((1u << take) - 1);
    s.stream[s.byte_index] = static_cast<std::uint8_t>(s.stream[s.byte_index] | (bits << (s.free_bits - take)));
    s.free_bits -= take;
    n -= take;
    s.total_bits += take;
  }
}

void fill_ancillary(MP3EncoderState& s, int n) {
  // Ancillary data carries no message: alternating bits.
  for (; n > 0; --n) {
    put_bits(s, static_cast<std::uint32_t>(s.ancillary_bit), 1);
    s.ancillary_bit ^= 1;
  }
}

void write_frame(const MP3EncoderParams& p, MP3EncoderState& s) {
  build_header(p, s);
  int main_bits = 0;
  for (int gr = 0; gr < s.granules; ++gr)
    for (int ch = 0; ch < s.channels_out; ++ch) main_bits += write_spectrum(s, s.granule[gr][ch], s.lines[gr][ch]);
  fill_ancillary(s, s.drain_bits);
  s.main_data_begin += (s.frame_bits - s.drain_bits - main_bits - 8 * s.side_info_bytes) / 8;
  s.reservoir_size = 8 * s.main_data_begin;
  if (s.total_bits > 1000000000) set_total_bits(s, 0);
}

void set_total_bits(MP3EncoderState& s, std::int32_t bits) {
  const std::int32_t shift = s.total_bits - bits;
  for (HeaderEntry& h : s.ring) h.position -= shift;
  s.total_bits = bits;
}

void flush_stream(MP3EncoderState& s) {
  if (s.write_index == s.fill_index && s.ring[s.fill_index].position == 0) return;  // no frame yet
  const int last = (s.fill_index + kHeaderRing - 1) % kHeaderRing;
  int d = s.ring[last].position - s.total_bits;
  if (d >= 0) d -= 8 * s.side_info_bytes * ((s.fill_index - s.write_index + kHeaderRing) % kHeaderRing);
  d += s.frame_bits;
  if (d < 0) return;
  fill_ancillary(s, d);
  s.main_data_begin = 0;
  s.reservoir_size = 0;
}

int copy_out(MP3EncoderState& s, std::uint8_t* out, int room) {
  const int n = s.byte_index + 1;
  if (n < 1) return 0;
  if (room < n) return -1;
  std::memcpy(out, s.stream, static_cast<std::size_t>(n));
  s.byte_index = -1;
  s.free_bits = 0;
  return n;
}

}  // namespace audio::mp3enc
