// Sound: wave output and input devices and sndPlaySoundW.
//
// Buffers are played (or filled) as a sound card would: a queued buffer's
// bytes are read when the device reaches it, so data written into a queued
// buffer before it plays is heard. Devices report through a function called
// on the device's own thread (which may call waveOutWrite or waveInAddBuffer
// again), a thread message, or an event.
//
// Left out: window callbacks, MIDI, mixers, aux devices, input position
// queries, playback rate and pitch, and formats other than 8- and 16-bit PCM.
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

using MMRESULT = UINT;
using MMVERSION = UINT;

CE_DECLARE_HANDLE(HWAVEOUT);
CE_DECLARE_HANDLE(HWAVEIN);
using LPHWAVEOUT = HWAVEOUT*;
using LPHWAVEIN = HWAVEIN*;

// Results.
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_BADERRNUM = 9;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MMSYSERR_HANDLEBUSY = 12;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;
inline constexpr MMRESULT WAVERR_SYNC = 35;

inline constexpr UINT WAVE_MAPPER = 0xFFFFFFFFu;

// Open flags: the callback kind and the query.
inline constexpr DWORD CALLBACK_TYPEMASK = 0x00070000;
inline constexpr DWORD CALLBACK_NULL = 0x00000000;
inline constexpr DWORD CALLBACK_WINDOW = 0x00010000;
inline constexpr DWORD CALLBACK_THREAD = 0x00020000;
inline constexpr DWORD CALLBACK_FUNCTION = 0x00030000;
inline constexpr DWORD CALLBACK_EVENT = 0x00050000;
inline constexpr DWORD WAVE_FORMAT_QUERY = 0x0001;
inline constexpr DWORD WAVE_ALLOWSYNC = 0x0002;
inline constexpr DWORD WAVE_MAPPED = 0x0004;
inline constexpr DWORD WAVE_FORMAT_DIRECT = 0x0008;

// Notifications: the message of a function callback, or of a thread message.
inline constexpr UINT MM_WOM_OPEN = 0x3BB;
inline constexpr UINT MM_WOM_CLOSE = 0x3BC;
inline constexpr UINT MM_WOM_DONE = 0x3BD;
inline constexpr UINT MM_WIM_OPEN = 0x3BE;
inline constexpr UINT MM_WIM_CLOSE = 0x3BF;
inline constexpr UINT MM_WIM_DATA = 0x3C0;
inline constexpr UINT WOM_OPEN = MM_WOM_OPEN;
inline constexpr UINT WOM_CLOSE = MM_WOM_CLOSE;
inline constexpr UINT WOM_DONE = MM_WOM_DONE;
inline constexpr UINT WIM_OPEN = MM_WIM_OPEN;
inline constexpr UINT WIM_CLOSE = MM_WIM_CLOSE;
inline constexpr UINT WIM_DATA = MM_WIM_DATA;

// Standard format bits of WAVEOUTCAPS/WAVEINCAPS dwFormats (rate, M/S, bits).
inline constexpr DWORD WAVE_INVALIDFORMAT = 0x00000000;
inline constexpr DWORD WAVE_FORMAT_1M08 = 0x00000001;
inline constexpr DWORD WAVE_FORMAT_1S08 = 0x00000002;
inline constexpr DWORD WAVE_FORMAT_1M16 = 0x00000004;
inline constexpr DWORD WAVE_FORMAT_1S16 = 0x00000008;
inline constexpr DWORD WAVE_FORMAT_2M08 = 0x00000010;
inline constexpr DWORD WAVE_FORMAT_2S08 = 0x00000020;
inline constexpr DWORD WAVE_FORMAT_2M16 = 0x00000040;
inline constexpr DWORD WAVE_FORMAT_2S16 = 0x00000080;
inline constexpr DWORD WAVE_FORMAT_4M08 = 0x00000100;
inline constexpr DWORD WAVE_FORMAT_4S08 = 0x00000200;
inline constexpr DWORD WAVE_FORMAT_4M16 = 0x00000400;
inline constexpr DWORD WAVE_FORMAT_4S16 = 0x00000800;

// WAVEOUTCAPS dwSupport bits.
inline constexpr DWORD WAVECAPS_PITCH = 0x0001;
inline constexpr DWORD WAVECAPS_PLAYBACKRATE = 0x0002;
inline constexpr DWORD WAVECAPS_VOLUME = 0x0004;
inline constexpr DWORD WAVECAPS_LRVOLUME = 0x0008;
inline constexpr DWORD WAVECAPS_SYNC = 0x0010;
inline constexpr DWORD WAVECAPS_SAMPLEACCURATE = 0x0020;

inline constexpr WORD WAVE_FORMAT_PCM = 1;

inline constexpr UINT MAXPNAMELEN = 32;

struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
using LPWAVEFORMATEX = WAVEFORMATEX*;
using LPCWAVEFORMATEX = const WAVEFORMATEX*;

// Header flags.
inline constexpr DWORD WHDR_DONE = 0x00000001;
inline constexpr DWORD WHDR_PREPARED = 0x00000002;
inline constexpr DWORD WHDR_BEGINLOOP = 0x00000004;
inline constexpr DWORD WHDR_ENDLOOP = 0x00000008;
inline constexpr DWORD WHDR_INQUEUE = 0x00000010;

struct WAVEHDR {
  LPSTR lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  DWORD dwLoops;
  WAVEHDR* lpNext;
  DWORD_PTR reserved;
};
using LPWAVEHDR = WAVEHDR*;
using PWAVEHDR = WAVEHDR*;

// Time formats of MMTIME.
inline constexpr UINT TIME_MS = 0x0001;
inline constexpr UINT TIME_SAMPLES = 0x0002;
inline constexpr UINT TIME_BYTES = 0x0004;
inline constexpr UINT TIME_SMPTE = 0x0008;
inline constexpr UINT TIME_MIDI = 0x0010;
inline constexpr UINT TIME_TICKS = 0x0020;

struct MMTIME {
  UINT wType;
  union {
    DWORD ms;
    DWORD sample;
    DWORD cb;
    DWORD ticks;
    struct {
      BYTE hour;
      BYTE min;
      BYTE sec;
      BYTE frame;
      BYTE fps;
      BYTE dummy;
      BYTE pad[2];
    } smpte;
    struct {
      DWORD songptrpos;
    } midi;
  } u;
};
using LPMMTIME = MMTIME*;

struct WAVEOUTCAPSW {
  WORD wMid;
  WORD wPid;
  MMVERSION vDriverVersion;
  WCHAR szPname[MAXPNAMELEN];
  DWORD dwFormats;
  WORD wChannels;
  WORD wReserved1;
  DWORD dwSupport;
};
using LPWAVEOUTCAPSW = WAVEOUTCAPSW*;
using WAVEOUTCAPS = WAVEOUTCAPSW;
using LPWAVEOUTCAPS = WAVEOUTCAPSW*;

struct WAVEINCAPSW {
  WORD wMid;
  WORD wPid;
  MMVERSION vDriverVersion;
  WCHAR szPname[MAXPNAMELEN];
  DWORD dwFormats;
  WORD wChannels;
  WORD wReserved1;
};
using LPWAVEINCAPSW = WAVEINCAPSW*;
using WAVEINCAPS = WAVEINCAPSW;
using LPWAVEINCAPS = WAVEINCAPSW*;

// The function form of the callback; the message is one of the WOM_ or WIM_
// codes, param1 the WAVEHDR of a done buffer.
using LPWAVECALLBACK = void(CALLBACK*)(HANDLE device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                       DWORD_PTR param2);

UINT waveOutGetNumDevs();
MMRESULT waveOutGetDevCaps(UINT deviceId, LPWAVEOUTCAPSW caps, UINT capsSize);
// callback is a function (CALLBACK_FUNCTION), a thread id (CALLBACK_THREAD) or
// an event handle (CALLBACK_EVENT). With WAVE_FORMAT_QUERY only the format
// is checked and waveOut may be null.
MMRESULT waveOutOpen(LPHWAVEOUT waveOut, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback, DWORD_PTR instance,
                     DWORD flags);
MMRESULT waveOutClose(HWAVEOUT waveOut);
MMRESULT waveOutPrepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT headerSize);
MMRESULT waveOutUnprepareHeader(HWAVEOUT waveOut, LPWAVEHDR header, UINT headerSize);
MMRESULT waveOutWrite(HWAVEOUT waveOut, LPWAVEHDR header, UINT headerSize);
MMRESULT waveOutPause(HWAVEOUT waveOut);
MMRESULT waveOutRestart(HWAVEOUT waveOut);
// Every queued buffer comes back done; returns once their notifications
// have been delivered (at once when called from the device's callback).
MMRESULT waveOutReset(HWAVEOUT waveOut);
// How much the device has played since it was opened or last reset: what
// has been heard, not what has been queued. Pause holds it. Given in
// wType's format when that is TIME_MS, TIME_SAMPLES or TIME_BYTES; any
// other request is answered in TIME_BYTES, and wType says so. The count
// wraps at 32 bits.
MMRESULT waveOutGetPosition(HWAVEOUT waveOut, LPMMTIME time, UINT timeSize);
// Volume of the handle's device (null: device 0); left channel in the low
// word, right in the high word.
MMRESULT waveOutGetVolume(HWAVEOUT waveOut, LPDWORD volume);
MMRESULT waveOutSetVolume(HWAVEOUT waveOut, DWORD volume);

UINT waveInGetNumDevs();
MMRESULT waveInGetDevCaps(UINT deviceId, LPWAVEINCAPSW caps, UINT capsSize);
MMRESULT waveInOpen(LPHWAVEIN waveIn, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback, DWORD_PTR instance,
                    DWORD flags);
MMRESULT waveInClose(HWAVEIN waveIn);
MMRESULT waveInPrepareHeader(HWAVEIN waveIn, LPWAVEHDR header, UINT headerSize);
MMRESULT waveInUnprepareHeader(HWAVEIN waveIn, LPWAVEHDR header, UINT headerSize);
MMRESULT waveInAddBuffer(HWAVEIN waveIn, LPWAVEHDR header, UINT headerSize);
MMRESULT waveInStart(HWAVEIN waveIn);
// The buffer being filled comes back with what it holds; the others stay.
MMRESULT waveInStop(HWAVEIN waveIn);
// Stops, and every buffer comes back done.
MMRESULT waveInReset(HWAVEIN waveIn);

// sndPlaySoundW flags.
inline constexpr UINT SND_SYNC = 0x0000;
inline constexpr UINT SND_ASYNC = 0x0001;
inline constexpr UINT SND_NODEFAULT = 0x0002;
inline constexpr UINT SND_MEMORY = 0x0004;
inline constexpr UINT SND_LOOP = 0x0008;
inline constexpr UINT SND_NOSTOP = 0x0010;

// Plays a WAV file (a device path) or, with SND_MEMORY, a WAV image in memory.
// SND_SYNC returns when the sound has ended; SND_ASYNC returns at once and
// stops the sound already playing (unless SND_NOSTOP, which then fails). A
// null name stops the sound playing. FALSE when the sound cannot be played.
BOOL sndPlaySoundW(LPCWSTR soundName, UINT flags);

#pragma GCC visibility pop
