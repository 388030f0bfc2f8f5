// The built-in XML document class served by CoCreateInstance.
#pragma once

#include "ce/objbase.h"

namespace ce::com {

// A new, empty document queried for `iid`.
HRESULT CreateXmlDocument(REFIID iid, void** object);

}  // namespace ce::com
