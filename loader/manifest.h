// Side-by-side assemblies: what a manifest asks for, and where the system's
// assembly store (WinSxS) keeps it. A manifest is untrusted text: it is read
// with bounds, never past its size, and anything it holds past what is
// needed is ignored.
#pragma once
#include <windows.h>
#include "probe.h"
#include "../image/byte_span.h"

// The identity of one dependentAssembly, in ASCII as the manifest writes it
// (each field cut to fit, empty when the manifest does not give it).
struct AssemblyRef {
    char name[128];
    char version[32];            // "6.0.0.0"
    char architecture[16];       // processorArchitecture: "amd64", "x86", "arm64", "*" ...
    char publicKeyToken[32];
    char language[16];           // "*" or empty for neutral
};

// The most assemblies taken from one manifest.
const int MAX_ASSEMBLIES = 16;

// Reads the identities of the dependentAssembly elements of the manifest
// `text` (UTF-8, or UTF-16 with a byte-order mark) into `out` (room for
// `room`); returns how many were found.
int ReadManifestDependencies(const ByteSpan* text, AssemblyRef* out, int room);

// What a manifest asks of the system beside its assemblies, each as the
// manifest writes it (ASCII, cut to fit); empty when it does not say.
const int MAX_SUPPORTED_OS = 16;
struct ManifestFacts {
    char executionLevel[32];   // requestedExecutionLevel's level: "asInvoker", "requireAdministrator", ...
    char uiAccess[8];
    char dpiAware[32];         // "true", "true/pm", "per monitor", ...
    char dpiAwareness[64];     // "PerMonitorV2, PerMonitor", ...
    char longPathAware[8];
    char activeCodePage[32];   // "UTF-8", ...
    int supportedOsCount;
    char supportedOs[MAX_SUPPORTED_OS][40];   // compatibility's supportedOS Ids: "{8e0f7a12-...}"
    int dependencyCount;
    AssemblyRef dependencies[MAX_ASSEMBLIES];
};

// Reads `text` as ReadManifestDependencies does; the first of each element counts.
void ReadManifestFacts(const ByteSpan* text, ManifestFacts* out);

// The folder in the store `winsxs` that holds `assembly` for an image of
// `machine`, into `folder` (MAX_PATH units): the store's folders are named
// "ARCH_NAME_TOKEN_VERSION_LANGUAGE_HASH". Architecture "*" stands for the
// image's own. Of the versions with the asked major and minor numbers, the
// highest is taken, as the system's publisher policies do. False when none.
bool FindAssemblyFolder(const FileProbe* probe, const wchar_t* winsxs, const AssemblyRef* assembly, WORD machine,
                        wchar_t* folder);
