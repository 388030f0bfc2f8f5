// Keeps COM initialised on the creating thread for the object's life.
#pragma once

#include "liba/nocopy.h"

namespace os {

class ComScope : private liba::Nocopy {
 public:
  ComScope();
  ~ComScope();

 private:
  bool initialised_ = false;
};

}  // namespace os
