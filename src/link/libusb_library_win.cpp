#include <windows.h>

#include "link/libusb_library.h"

namespace zrt::link {

// Only beside the program or in the system's folder: never from the
// current folder or the PATH, where another DLL could stand in for it.
void* OpenLibusbLibrary() {
  return LoadLibraryExW(L"libusb-1.0.dll", nullptr,
                        LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void* LibusbSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace zrt::link
