#include <dlfcn.h>

#include "link/libusb_library.h"

namespace zrt::link {

void* OpenLibusbLibrary() { return dlopen("libusb-1.0.so.0", RTLD_NOW | RTLD_LOCAL); }

void* LibusbSymbol(void* library, const char* name) { return dlsym(library, name); }

}  // namespace zrt::link
