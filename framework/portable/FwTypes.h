// Basic Windows-style type names for the framework's portable classes.
// They match <windows.h> exactly, so both may be included together.
#pragma once

#include <cstdint>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned int UINT;
typedef const char* LPCSTR;
typedef char* LPSTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
