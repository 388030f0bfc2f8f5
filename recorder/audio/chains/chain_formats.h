// The chains of each format, one maker per format. A maker answers null when
// its format cannot serve the file or the recording asked for: the play-chain
// factory then goes on to the next format and the record-chain factory
// makes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/chains.h"

namespace audio::chain_formats {

// A chain over a new reader of the path; the caller asks whether it opened.
std::unique_ptr<PlayChain> open_pcm_chain(const std::wstring& path);
std::unique_ptr<PlayChain> open_adpcm_chain(const std::wstring& path);
std::unique_ptr<PlayChain> open_gsm_chain(const std::wstring& path);
std::unique_ptr<PlayChain> open_vorbis_chain(const std::wstring& path);
std::unique_ptr<PlayChain> open_mpc_chain(const std::wstring& path);
std::unique_ptr<PlayChain> open_mp3_chain(const std::wstring& path);

std::unique_ptr<RecordChain> create_adpcm_record_chain(const std::wstring& path, bool append);
std::unique_ptr<RecordChain> create_gsm_record_chain(const std::wstring& path, bool append);
// `bitrate` in bits per second.
std::unique_ptr<RecordChain> create_mp3_record_chain(const std::wstring& path, std::uint32_t bitrate, bool append);

}  // namespace audio::chain_formats
