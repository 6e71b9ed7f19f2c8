#pragma once
// The host platform belongs to the library now; this path stays for code that includes it here.
#include "platform/qt/HostPlatform.h"
