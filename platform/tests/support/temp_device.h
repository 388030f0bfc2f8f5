// A private device for a test: a fresh temporary device root that
// DEVICE_ROOT points at while the object lives, removed afterwards.
#pragma once

#include <string>

namespace ce::test {

class TempDevice {
 public:
  TempDevice();
  ~TempDevice();
  TempDevice(const TempDevice&) = delete;
  TempDevice& operator=(const TempDevice&) = delete;

  // Host path of the device root.
  const std::string& root() const { return root_; }
  // Host path of a device path below the root ("My Documents/a.txt").
  std::string HostPath(const std::string& relative) const { return root_ + "/" + relative; }
  // Writes a host file below the root, creating its folders.
  void WriteHostFile(const std::string& relative, const std::string& contents) const;
  std::string ReadHostFile(const std::string& relative) const;

 private:
  std::string root_;
  std::string previous_;
  bool hadPrevious_ = false;
};

}  // namespace ce::test
