// Base of classes that own a platform resource and must not be copied.
#pragma once

namespace liba {

class Nocopy {
 public:
  Nocopy(const Nocopy&) = delete;
  Nocopy& operator=(const Nocopy&) = delete;

 protected:
  Nocopy() = default;
  ~Nocopy() = default;
};

}  // namespace liba
