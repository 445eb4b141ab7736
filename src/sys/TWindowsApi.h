#pragma once

// The Windows API for the few files that call it, with its macros kept in check: the lean subset
// and no min and max macros. Includes nothing elsewhere.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
