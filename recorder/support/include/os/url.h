// Opening a web address in the device's browser.
#pragma once

#include <string>

namespace os {

// Asks the shell to open `url` in the browser; the shell's answer.
bool open_url(const std::wstring& url);

}  // namespace os
