// Seam: the platform's shell, to open a web address in the default browser.
// Back-ends: */shell.cpp.
#pragma once

#include "text/text.hpp"

namespace crawlerview::platform {

// The shell's "open" action on `address`; when that fails, the command registered for opening
// ".htm" files, with the address appended. Returns false when neither could be started.
bool openAddress(const Text& address);

}  // namespace crawlerview::platform
