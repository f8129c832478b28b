// The system's socket declarations, where the build is for Windows.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
