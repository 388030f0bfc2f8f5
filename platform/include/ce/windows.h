// Umbrella header: everything the programs call of the device's SDK.
#pragma once

#include "ce/windef.h"
#include "ce/winerror.h"
#include "ce/winbase.h"
#include "ce/winnls.h"
#include "ce/winuser.h"
#include "ce/wingdi.h"
#include "ce/winreg.h"
#include "ce/mmsystem.h"
#include "ce/shellapi.h"
