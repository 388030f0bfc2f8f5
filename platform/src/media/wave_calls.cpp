// The waveOut and waveIn calls: argument checks, device choice and the
// callback kind; the streams do the rest.
#include <cstring>

#include "ce/mmsystem.h"
#include "ce/winuser.h"
#include "kernel/not_implemented.h"
#include "media/audio_backend.h"
#include "media/wave_stream.h"

namespace {

using ce::media::Direction;
using ce::media::PcmFormat;
using ce::media::WaveStream;

constexpr DWORD kKnownOpenFlags =
    CALLBACK_TYPEMASK | WAVE_FORMAT_QUERY | WAVE_ALLOWSYNC | WAVE_MAPPED | WAVE_FORMAT_DIRECT;

void FillName(WCHAR* out, const std::wstring& name) {
  std::wcsncpy(out, name.c_str(), MAXPNAMELEN - 1);
  out[MAXPNAMELEN - 1] = L'\0';
}

MMRESULT Open(Direction direction, HANDLE* out, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
              DWORD_PTR instance, DWORD flags) {
  auto& backend = ce::media::Backend();
  const UINT count = direction == Direction::Out ? backend.OutputCount() : backend.InputCount();
  if (flags & ~kKnownOpenFlags) return MMSYSERR_INVALFLAG;
  if (count == 0) return MMSYSERR_NODRIVER;
  if (deviceId == WAVE_MAPPER) deviceId = 0;
  if (deviceId >= count) return MMSYSERR_BADDEVICEID;
  PcmFormat pcm;
  if (const MMRESULT checked = ce::media::CheckFormat(format, &pcm); checked != MMSYSERR_NOERROR) return checked;
  const DWORD kind = flags & CALLBACK_TYPEMASK;
  switch (kind) {
    case CALLBACK_NULL:
    case CALLBACK_THREAD:
    case CALLBACK_EVENT:
      break;
    case CALLBACK_FUNCTION:
      if (!callback) return MMSYSERR_INVALPARAM;
      break;
    case CALLBACK_WINDOW:
      if (callback != 0 && !IsWindow(reinterpret_cast<HWND>(callback))) return MMSYSERR_INVALPARAM;
      break;
    default:
      return MMSYSERR_INVALFLAG;
  }
  if (flags & WAVE_FORMAT_QUERY) {
    return direction == Direction::Out ? backend.OpenOutput(deviceId, pcm, nullptr)
                                       : backend.OpenInput(deviceId, pcm, nullptr);
  }
  if (!out) return MMSYSERR_INVALPARAM;
  *out = nullptr;
  std::unique_ptr<ce::media::AudioSink> sink;
  std::unique_ptr<ce::media::AudioSource> source;
  const MMRESULT opened = direction == Direction::Out ? backend.OpenOutput(deviceId, pcm, &sink)
                                                      : backend.OpenInput(deviceId, pcm, &source);
  if (opened != MMSYSERR_NOERROR) return opened;
  auto stream = std::make_shared<WaveStream>(direction, deviceId, pcm, kind, callback, instance);
  HANDLE handle = ce::media::InsertStream(stream);
  const MMRESULT begun = stream->Begin(std::move(sink), std::move(source), handle);
  if (begun != MMSYSERR_NOERROR) {
    ce::media::RemoveStream(handle);
    return begun;
  }
  *out = handle;
  return MMSYSERR_NOERROR;
}

MMRESULT Close(Direction direction, HANDLE handle) {
  auto stream = ce::media::FindStream(handle, direction);
  if (!stream) return MMSYSERR_INVALHANDLE;
  const MMRESULT closed = stream->Close();
  if (closed == MMSYSERR_NOERROR) ce::media::RemoveStream(handle);
  return closed;
}

template <class Call>
MMRESULT With(Direction direction, HANDLE handle, Call call) {
  auto stream = ce::media::FindStream(handle, direction);
  if (!stream) return MMSYSERR_INVALHANDLE;
  return call(*stream);
}

}  // namespace

UINT waveOutGetNumDevs() { return ce::media::Backend().OutputCount(); }

MMRESULT waveOutGetDevCaps(UINT deviceId, LPWAVEOUTCAPSW caps, UINT capsSize) {
  auto& backend = ce::media::Backend();
  if (!caps || capsSize < sizeof(WAVEOUTCAPSW)) return MMSYSERR_INVALPARAM;
  if (deviceId == WAVE_MAPPER) deviceId = 0;
  if (deviceId >= backend.OutputCount()) return MMSYSERR_BADDEVICEID;
  const ce::media::DeviceInfo info = backend.OutputInfo(deviceId);
  *caps = WAVEOUTCAPSW{};
  caps->vDriverVersion = 0x0100;
  FillName(caps->szPname, info.name);
  caps->dwFormats = info.formats;
  caps->wChannels = info.channels;
  caps->dwSupport = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutOpen(LPHWAVEOUT waveOut, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback, DWORD_PTR instance,
                     DWORD flags) {
  HANDLE handle = nullptr;
  const MMRESULT result =
      Open(Direction::Out, waveOut ? &handle : nullptr, deviceId, format, callback, instance, flags);
  if (waveOut && !(flags & WAVE_FORMAT_QUERY)) *waveOut = static_cast<HWAVEOUT>(handle);
  return result;
}

MMRESULT waveOutClose(HWAVEOUT waveOut) { return Close(Direction::Out, waveOut); }

MMRESULT waveOutPrepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
  return With(Direction::Out, waveOut, [&](WaveStream& s) { return s.Prepare(header, size); });
}
MMRESULT waveOutUnprepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
  return With(Direction::Out, waveOut, [&](WaveStream& s) { return s.Unprepare(header, size); });
}
MMRESULT waveOutWrite(HWAVEOUT waveOut, LPWAVEHDR header, UINT size) {
  return With(Direction::Out, waveOut, [&](WaveStream& s) { return s.Queue(header, size); });
}
MMRESULT waveOutPause(HWAVEOUT waveOut) {
  return With(Direction::Out, waveOut, [](WaveStream& s) { return s.Pause(); });
}
MMRESULT waveOutRestart(HWAVEOUT waveOut) {
  return With(Direction::Out, waveOut, [](WaveStream& s) { return s.Restart(); });
}
MMRESULT waveOutReset(HWAVEOUT waveOut) {
  return With(Direction::Out, waveOut, [](WaveStream& s) { return s.Reset(); });
}

MMRESULT waveOutGetPosition(HWAVEOUT waveOut, LPMMTIME time, UINT timeSize) {
  if (!time || timeSize < sizeof(MMTIME)) return MMSYSERR_INVALPARAM;
  auto stream = ce::media::FindStream(waveOut, Direction::Out);
  if (!stream) return MMSYSERR_INVALHANDLE;
  const PcmFormat& format = stream->format();
  const std::uint64_t frames = stream->PlayedFrames();
  switch (time->wType) {
    case TIME_SAMPLES:
      time->u.sample = static_cast<DWORD>(frames);
      break;
    case TIME_MS:
      time->u.ms = static_cast<DWORD>(frames * 1000 / format.rate);
      break;
    default:
      time->wType = TIME_BYTES;
      time->u.cb = static_cast<DWORD>(frames * format.BlockAlign());
      break;
  }
  return MMSYSERR_NOERROR;
}

namespace {
// The device a volume call names: a handle, or null for device 0.
bool VolumeDevice(HWAVEOUT waveOut, UINT* device) {
  if (!waveOut) {
    if (ce::media::Backend().OutputCount() == 0) return false;
    *device = 0;
    return true;
  }
  auto stream = ce::media::FindStream(waveOut, Direction::Out);
  if (!stream) return false;
  *device = stream->device();
  return true;
}
}  // namespace

MMRESULT waveOutGetVolume(HWAVEOUT waveOut, LPDWORD volume) {
  if (!volume) return MMSYSERR_INVALPARAM;
  UINT device = 0;
  if (!VolumeDevice(waveOut, &device)) return waveOut ? MMSYSERR_INVALHANDLE : MMSYSERR_NODRIVER;
  *volume = ce::media::DeviceVolume(device);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutSetVolume(HWAVEOUT waveOut, DWORD volume) {
  UINT device = 0;
  if (!VolumeDevice(waveOut, &device)) return waveOut ? MMSYSERR_INVALHANDLE : MMSYSERR_NODRIVER;
  ce::media::SetDeviceVolume(device, volume);
  return MMSYSERR_NOERROR;
}

UINT waveInGetNumDevs() { return ce::media::Backend().InputCount(); }

MMRESULT waveInGetDevCaps(UINT deviceId, LPWAVEINCAPSW caps, UINT capsSize) {
  auto& backend = ce::media::Backend();
  if (!caps || capsSize < sizeof(WAVEINCAPSW)) return MMSYSERR_INVALPARAM;
  if (deviceId == WAVE_MAPPER) deviceId = 0;
  if (deviceId >= backend.InputCount()) return MMSYSERR_BADDEVICEID;
  const ce::media::DeviceInfo info = backend.InputInfo(deviceId);
  *caps = WAVEINCAPSW{};
  caps->vDriverVersion = 0x0100;
  FillName(caps->szPname, info.name);
  caps->dwFormats = info.formats;
  caps->wChannels = info.channels;
  return MMSYSERR_NOERROR;
}

MMRESULT waveInOpen(LPHWAVEIN waveIn, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback, DWORD_PTR instance,
                    DWORD flags) {
  HANDLE handle = nullptr;
  const MMRESULT result = Open(Direction::In, waveIn ? &handle : nullptr, deviceId, format, callback, instance, flags);
  if (waveIn && !(flags & WAVE_FORMAT_QUERY)) *waveIn = static_cast<HWAVEIN>(handle);
  return result;
}

MMRESULT waveInClose(HWAVEIN waveIn) { return Close(Direction::In, waveIn); }

MMRESULT waveInPrepareHeader(HWAVEIN waveIn, LPWAVEHDR header, UINT size) {
  return With(Direction::In, waveIn, [&](WaveStream& s) { return s.Prepare(header, size); });
}
MMRESULT waveInUnprepareHeader(HWAVEIN waveIn, LPWAVEHDR header, UINT size) {
  return With(Direction::In, waveIn, [&](WaveStream& s) { return s.Unprepare(header, size); });
}
MMRESULT waveInAddBuffer(HWAVEIN waveIn, LPWAVEHDR header, UINT size) {
  return With(Direction::In, waveIn, [&](WaveStream& s) { return s.Queue(header, size); });
}
MMRESULT waveInStart(HWAVEIN waveIn) {
  return With(Direction::In, waveIn, [](WaveStream& s) { return s.StartInput(); });
}
MMRESULT waveInStop(HWAVEIN waveIn) {
  return With(Direction::In, waveIn, [](WaveStream& s) { return s.StopInput(); });
}
MMRESULT waveInReset(HWAVEIN waveIn) {
  return With(Direction::In, waveIn, [](WaveStream& s) { return s.Reset(); });
}
