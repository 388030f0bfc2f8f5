// (to be filled by its area)
#pragma once

#include "ce/windef.h"
