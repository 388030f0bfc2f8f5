// The device's file namespace on the host. A device path ("\My Documents\a.wav",
// '/' accepted as a separator, relative paths taken from the root since the
// device has no current directory) is resolved component by component below
// the device root: an existing entry whose name differs only in letter case is
// found, a new leaf keeps the case it was given, ".." never climbs above the
// root and a symbolic link may only point inside the device.
//
// Device settings read here (device.conf or DEVICE_<KEY>):
//   storage_cards            "Storage Card;SD Card": root folders that are
//                            storage cards. "Name=/host/folder" mounts a host
//                            folder (e.g. on another file system) as the card.
//   program_name             name of the running program's folder under
//                            "\Program Files" (default: the executable's name);
//                            the device's own programs (the home screen) use
//                            "\Windows" as their folder instead
//   program_folder           host folder mounted as that program folder
//                            (default: the folder of the running executable)
//   program_folders          more program folders: "Name=/host/folder;..."
//
// A program folder is installed read-only under the device's own folder of
// the same name ("Program Files/<Name>" below the root): a path there is
// looked up in the device's folder first, then in the installed one. What a
// program writes there lands in the device's folder (a file it opens for
// writing is copied there first); deleting, moving or changing an installed
// entry is refused. Nothing outside the device root is ever changed.
//   free_bytes               free space reported and enforced on the root volume
//   storage_card_free_bytes  the same per card, in the order of storage_cards
//                            ("5000000;;100": an empty entry keeps the host's)
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "ce/minwindef.h"

namespace ce::kernel::fs {

// A volume: index 0 is the device's own store, 1.. the storage cards.
struct Volume {
  int index = 0;
  std::wstring name;  // the card folder's name; empty for the store
  std::string host;   // host folder holding the volume's top
  std::optional<unsigned long long> freeOverride;
};

struct Resolved {
  std::string host;     // host path of the entry (may not exist yet)
  std::wstring device;  // canonical device path, existing parts in their stored case
  int volume = 0;
  bool exists = false;
  bool isDirectory = false;
  // The root, a storage card's folder, "\Program Files" or a program mount:
  // these cannot be deleted, moved or replaced.
  bool isFixed = false;
  bool isCard = false;  // the top folder of a storage card
  // An entry of an installed program folder: the device reads it but never
  // changes it.
  bool readOnly = false;
  // Inside a program folder: where a new entry, or the device's own copy of
  // an installed one, goes (in the device root); empty for the program's
  // executable, which is never copied. Elsewhere: `host`.
  std::string writeHost;
  // A folder of the device's own that stands over an installed one: the
  // installed folder's host path, whose entries a listing shows beneath.
  std::string underHost;
  // writeHost's folders may not exist yet: PrepareWrite makes them.
  bool needsParents = false;
  struct stat st {};
};

// Resolves a device path. Returns 0, or the error for the caller to report:
// ERROR_INVALID_PARAMETER (null), ERROR_PATH_NOT_FOUND (empty or a missing
// folder on the way), ERROR_FILENAME_EXCED_RANGE (MAX_PATH or longer),
// ERROR_INVALID_NAME (characters the device refuses), ERROR_ACCESS_DENIED (a
// path that would leave the device). With allowWildcards the last component
// may hold '*' and '?' and is returned unresolved in `mask`.
DWORD Resolve(LPCWSTR path, Resolved& out);
DWORD ResolveWithMask(LPCWSTR path, Resolved& folder, std::wstring& mask);

// The one spelling of the entry a device path reaches: "\" between
// components, no "." or "..", every existing component in the case stored
// on disk, and the links on the way (which the device follows only inside
// itself) replaced by where they lead, so two paths that reach the same
// entry give the same text. A missing last component keeps the spelling
// given. Returns 0 or the error Resolve gives (ERROR_ACCESS_DENIED for a
// link that leaves the device).
DWORD CanonicalPath(LPCWSTR path, std::wstring& out);

// Makes the folders above entry.writeHost that are missing, inside the
// device root. Returns 0 or the error to report.
DWORD PrepareWrite(const Resolved& entry);

// Gives an installed file a copy of its own in the device's program folder
// so it can be written, and makes `entry` that copy. Returns 0 or the error
// to report (ERROR_ACCESS_DENIED for the executable and folders).
DWORD CopyUp(Resolved& entry);

// Virtual entries of a folder that the host folder does not hold: storage
// cards and program folders mounted from elsewhere. Each with its host path.
struct MountEntry {
  std::wstring name;
  std::string host;
  bool card = false;
};
std::vector<MountEntry> MountsIn(const std::wstring& deviceFolder);
// Host entries of the device root that the device never shows.
bool IsHiddenRootEntry(const std::string& hostName);

std::vector<Volume> Volumes();
Volume VolumeOf(int index);

// The program folders: where each stands on the device ("\Program Files\Name",
// or "\Windows" for a program that is part of the device), its program name
// and its installed host folder.
struct ProgramMount {
  std::wstring device;
  std::wstring name;
  std::string host;
  // The running program's own folder: the host name of its executable
  // (empty for the other program folders).
  std::string exeName;
};
std::vector<ProgramMount> ProgramMounts();

// The running program: its device path ("\Program Files\Name\Name.exe", or
// "\Windows\Name.exe" for a program that is part of the device).
std::wstring ProgramDevicePath();
// Host path of the running executable.
std::string ProgramHostPath();

// Converts a device path to its host path for a known-good resolved parent
// plus a new name; used by operations that create temporary siblings.
std::string HostChild(const std::string& hostFolder, const std::wstring& name);

DWORD ErrorFromErrno(int error);

// Opens a host entry that must be a regular file without ever blocking: a
// FIFO, socket or device node in its place would wait for a peer forever,
// so it is refused with EACCES (the device's "access denied"). Returns the
// descriptor, in blocking mode, or -1 with errno set.
int OpenRegularHostFile(const std::string& host, int flags, unsigned mode = 0);

// Creates the device's standard folders once per device root.
void EnsureStandardFolders();

}  // namespace ce::kernel::fs
