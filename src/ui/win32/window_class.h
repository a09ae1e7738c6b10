// The window class pattern lives in platform/win32, where every window of
// the DLL (the hidden hot-key window too) can reach it.
#pragma once

#include "platform/win32/window_class.h"
