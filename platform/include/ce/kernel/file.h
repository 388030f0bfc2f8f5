// Files and folders of the device's file namespace: backslash paths from the
// device root ("\My Documents\a.wav"), resolved case-insensitively on the
// host, never leaving the root. Overlapped I/O, security descriptors and
// alternate streams do not exist on the device and are not offered.
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x00000001;
inline constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
inline constexpr DWORD FILE_SHARE_DELETE = 0x00000004;

inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
inline constexpr DWORD FILE_ATTRIBUTE_INROM = 0x00000040;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
inline constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x00000100;
// The entry is a symbolic link of the host's folder that the device follows
// (only one that stays inside the device); the other attributes are its
// target's. Programs that walk and delete trees leave such entries alone.
inline constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;
inline constexpr DWORD FILE_ATTRIBUTE_COMPRESSED = 0x00000800;
inline constexpr DWORD FILE_ATTRIBUTE_ROMMODULE = 0x00002000;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000u;
inline constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;

inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Present in signatures only; the device has no overlapped I/O and callers
// pass null.
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwOID;
  WCHAR cFileName[MAX_PATH];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
using WIN32_FIND_DATA = WIN32_FIND_DATAW;

struct WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
};
using LPWIN32_FILE_ATTRIBUTE_DATA = WIN32_FILE_ATTRIBUTE_DATA*;

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard, GetFileExMaxInfoLevel };

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod);
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite);
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite);

BOOL DeleteFileW(LPCWSTR fileName);
BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName);
// With MOVEFILE_REPLACE_EXISTING a file may take the place of an existing
// file on the same volume in one step, so a reader sees either the old file
// or the new one, never neither: how saves are put in place. Folders,
// installed files and another volume's file are never replaced
// (ERROR_ACCESS_DENIED, ERROR_NOT_SAME_DEVICE). Without the flag it is
// MoveFileW.
inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x00000001;
BOOL MoveFileExW(LPCWSTR existingName, LPCWSTR newName, DWORD flags);
BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists);
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR pathName);
DWORD GetFileAttributesW(LPCWSTR fileName);
BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes);
BOOL GetFileAttributesExW(LPCWSTR fileName, GET_FILEEX_INFO_LEVELS level, LPVOID info);

// The device's own call, with no counterpart in the SDK: the one spelling
// of the entry a path reaches, for comparing paths. Both separators are
// taken, "." and ".." are resolved, every existing component comes back in
// the case stored on disk and a link on the way (followed only inside the
// device) is replaced by where it leads; a missing last component keeps the
// spelling given. Returns the length written without the terminator; when
// bufferLength (in characters) is too small, the length needed with the
// terminator and nothing written; 0 on failure, with the error CreateFileW
// would give (ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_NAME).
DWORD GetCanonicalPathNameW(LPCWSTR path, LPWSTR buffer, DWORD bufferLength);

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE find);

BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailable, PULARGE_INTEGER totalBytes,
                         PULARGE_INTEGER totalFreeBytes);

#pragma GCC visibility pop
