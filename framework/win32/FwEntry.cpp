// The program's WinMain. Linked as an object, not from a library, so that the
// C runtime's reference to WinMain finds it. The command line is not read.
#include "FwApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    return AfxWinMain(hInstance);
}
