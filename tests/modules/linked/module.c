/* A module that imports and delay-loads a few functions, by name and by
   ordinal. It is only read by the tests, never loaded, so it needs no C
   runtime: the delay-load helper is a stub. */
#define IMPORT __declspec(dllimport) int __stdcall
IMPORT GetTickCount(void);
IMPORT GetLastError(void);
IMPORT CoUninitialize(void);
IMPORT CoInitialize(void*);
IMPORT MessageBeep(unsigned);
IMPORT GetDesktopWindow(void);
IMPORT PathFileExistsW(const unsigned short*);
IMPORT StrToIntW(const unsigned short*);

void* __stdcall __delayLoadHelper2(const void* descriptor, void** slot)
{
    (void)descriptor;
    return *slot;
}

__declspec(dllexport) int __stdcall Touch(void)
{
    return GetTickCount() + GetLastError() + CoUninitialize() + CoInitialize(0) + MessageBeep(0)
        + GetDesktopWindow() + PathFileExistsW(0) + StrToIntW(0);
}
