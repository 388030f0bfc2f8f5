// The encoder's working state and the stages that share it: filter bank and
// MDCT, quantiser with the bit reservoir, and the bit-stream writer.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/mp3_encoder.h"

namespace audio {

namespace mp3enc {

inline constexpr int kGranuleLines = 576;
inline constexpr int kFrameBufferSamples = 4096;  // need (<= 2014) + one frame, with room
inline constexpr int kStreamBytes = 16384;
inline constexpr int kHeaderRing = 256;
inline constexpr int kNoCount = 100000;     // bit count of a granule that cannot be coded
inline constexpr int kMaxQuantised = 8206;  // 15 + 8191, the most an escape table holds

struct GranuleInfo {
  std::int32_t quantised[kGranuleLines];  // magnitudes
  std::int32_t part2_3_length;
  std::int32_t big_values;  // lines (even); the side information holds pairs
  std::int32_t count1_end;  // line after the count-1 region
  std::int32_t global_gain;
  std::int32_t scalefac_compress;
  std::int32_t block_type;
  std::int32_t table_select[3];
  std::int32_t region0_count;
  std::int32_t region1_count;
  std::int32_t preflag;
  std::int32_t scalefac_scale;
  std::int32_t count1_table;  // 0 = A, 1 = B
  std::int32_t part2_length;
};

struct HeaderEntry {
  std::int32_t position;  // in total bits written
  std::int32_t fill;      // bits built
  std::uint8_t bytes[40];
};

// The resampler for an input rate that is not a standard output rate.
struct Resampler {
  bool active = false;
  double ratio = 1.0;
  int taps = 0;    // filter length l; l + 1 taps per phase
  int phases = 0;  // p; 2p + 1 phase rows
  std::vector<double> table;
  std::vector<std::int16_t> fifo[2];
  int fifo_count = 0;
  double position = 0.0;  // input time of the next output sample, in fifo samples
};

}  // namespace mp3enc

struct MP3EncoderState {
  // Set-up.
  int granules = 2;
  int channels_in = 0;
  int channels_out = 1;
  double resample_ratio = 1.0;
  int bitrate_index = 0;
  int rate_index = 0;
  int mode_extension = 0;
  double lowpass_lower = 0.0;  // normalised edges
  double lowpass_upper = 0.0;
  int first_zeroed_subband = 32;
  std::int64_t subband_gain[32] = {};
  const std::int16_t* long_bands = nullptr;  // 23 boundaries
  int side_info_bytes = 0;                   // including the 4 header bytes
  bool setup_ok = false;

  // Input and frame buffer.
  std::int16_t input[2][1152] = {};
  std::int16_t frame_buffer[2][mp3enc::kFrameBufferSamples] = {};
  int buffered = 528;                // samples in the frame buffer
  int to_encode = kMP3EncoderDelay;  // samples still to be coded, the delay included
  int frame_need = 0;                // samples the frame buffer must hold to code a frame
  std::int32_t padding_remainder = 0;
  std::int32_t padding_step = 0;
  int padding = 0;
  bool first_frame = true;
  mp3enc::Resampler resampler;

  // Filter bank: subband samples [subband][slot] of the previous and the
  // current granule, per channel.
  std::int64_t subband_prev[2][32][18] = {};
  std::int64_t subband_cur[2][32][18] = {};
  std::int64_t lines[2][2][mp3enc::kGranuleLines] = {};  // [granule][channel], 32 fraction bits

  // Quantiser.
  std::int64_t step_table[330] = {};
  bool tables_built = false;
  std::uint8_t region_table[289][2] = {};  // by big-value lines / 2
  int previous_gain[2] = {180, 180};
  int search_step = 4;
  std::uint64_t pow34_lines[mp3enc::kGranuleLines] = {};
  // Of pow34_lines (see measure_lines): the largest, and the line after the
  // last non-zero one.
  std::uint64_t pow34_top = 0;
  int pow34_end = 0;
  mp3enc::GranuleInfo granule[2][2] = {};
  int scfsi[2] = {};
  int reservoir_size = 0;  // bits
  int reservoir_max = 0;
  int drain_bits = 0;
  int mean_bits = 0;
  int frame_bits = 0;
  int frame_max_bits = 0;

  // Bit stream.
  std::uint8_t stream[mp3enc::kStreamBytes] = {};
  int byte_index = -1;
  int free_bits = 0;
  std::int32_t total_bits = 0;
  bool stream_overflow = false;
  mp3enc::HeaderEntry ring[mp3enc::kHeaderRing] = {};
  int write_index = 0;
  int fill_index = 0;
  int ancillary_bit = 0;
  int main_data_begin = 0;  // bytes

  // Counters for tests and benchmarks.
  std::int64_t count_calls = 0;
};

namespace mp3enc {

// Filter bank and MDCT (filter_bank.cpp).
// Builds the shared constant tables (floating point, once, at set-up).
void prepare_constants();
void prime_filter_bank(MP3EncoderState& s);
void analyse_granule(MP3EncoderState& s, int granule, int channel, const std::int16_t* frame_buffer);
void transform_granule(MP3EncoderState& s, int granule, int channel);

// Quantiser and reservoir (quantizer.cpp).
void build_quantizer_tables(MP3EncoderState& s);
// Sets pow34_top and pow34_end from pow34_lines.
void measure_lines(MP3EncoderState& s);
// The bits of the lines (pow34_lines, measured) quantised at `gain` into gi.
int count_bits(MP3EncoderState& s, GranuleInfo& gi, int gain);
void quantize_frame(MP3EncoderState& s);
int choose_table(const std::int32_t* q, int begin, int end, int* bits);

// Bit stream (bit_stream.cpp).
void put_bits(MP3EncoderState& s, std::uint32_t value, int n);
void fill_ancillary(MP3EncoderState& s, int n);
void write_frame(const MP3EncoderParams& p, MP3EncoderState& s);
void flush_stream(MP3EncoderState& s);
// Hands out the finished bytes if `room` holds them all (else -1).
int copy_out(MP3EncoderState& s, std::uint8_t* out, int room);

// Frame size in bytes for the current frame's padding.
int frame_bytes(const MP3EncoderParams& p, const MP3EncoderState& s);

// Test hooks.
void set_total_bits(MP3EncoderState& s, std::int32_t bits);

}  // namespace mp3enc
}  // namespace audio
