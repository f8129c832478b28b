// Where libusb is loaded from: the platform's shared library loader.
#pragma once

namespace zrt::link {

// The system's libusb, loaded and never unloaded; nullptr when missing.
void* OpenLibusbLibrary();
// The address of a function of the library, or nullptr.
void* LibusbSymbol(void* library, const char* name);

}  // namespace zrt::link
