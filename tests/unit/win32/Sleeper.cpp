// A program that only waits, for tests that need a running executable.
#include <windows.h>

int main()
{
    Sleep(120000);
    return 0;
}
