// The benchmark's scale images: families of synthetic files whose rows grow
// from member to member, smallest first, to show how opening time grows.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct ScaleMember {
    const char* family;
    std::wstring name;
    std::vector<BYTE> (*make)(DWORD, DWORD);
    DWORD a, b;
};

extern const ScaleMember SCALE[];
extern const int SCALE_COUNT;
