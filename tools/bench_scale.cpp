#include "bench_scale.h"
#include "tests/pe_builder.h"
#include "tests/resource_builder.h"

static std::vector<BYTE> MakeExports(DWORD slots, DWORD) { return BuildExportImage(slots); }
static std::vector<BYTE> MakeImports(DWORD libraries, DWORD functions) { return BuildImportImage(libraries, functions); }
static std::vector<BYTE> MakeStrings(DWORD blocks, DWORD) { return BuildStringTableImage(blocks); }
static std::vector<BYTE> MakeVersions(DWORD languages, DWORD) { return BuildVersionImage(languages); }

const ScaleMember SCALE[] = {
    { "exports", L"exports-1000.dll", MakeExports, 1000, 0 },
    { "exports", L"exports-8000.dll", MakeExports, 8000, 0 },
    { "exports", L"exports-65000.dll", MakeExports, 65000, 0 },
    { "imports", L"imports-10x100.dll", MakeImports, 10, 100 },
    { "imports", L"imports-32x100.dll", MakeImports, 32, 100 },
    { "imports", L"imports-100x100.dll", MakeImports, 100, 100 },
    { "strings", L"strings-256.dll", MakeStrings, 256, 0 },
    { "strings", L"strings-1024.dll", MakeStrings, 1024, 0 },
    { "strings", L"strings-4096.dll", MakeStrings, 4096, 0 },
    { "version", L"version-16.dll", MakeVersions, 16, 0 },
    { "version", L"version-128.dll", MakeVersions, 128, 0 },
    { "version", L"version-1024.dll", MakeVersions, 1024, 0 },
};
const int SCALE_COUNT = sizeof SCALE / sizeof SCALE[0];
