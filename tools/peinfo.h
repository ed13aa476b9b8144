// Minimal, platform-free reader for Windows PE images (PE32 and PE32+).
//
// Used on the build host to check what the cross-compiled executables
// contain: target machine, subsystem, imported DLLs, resources and sections.
// The reader never trusts the file: every offset is bounds-checked, and a
// truncated or malformed image yields ok == false with a message instead of
// an out-of-range read.
#pragma once

#include <string>
#include <utility>
#include <vector>

constexpr unsigned kPeMachineI386 = 0x14c;
constexpr unsigned kPeMachineAmd64 = 0x8664;

constexpr unsigned kPeSubsystemWindowsGui = 2;
constexpr unsigned kPeSubsystemWindowsCui = 3;

constexpr unsigned kPeResourceBitmap = 2;
constexpr unsigned kPeResourceIcon = 3;
constexpr unsigned kPeResourceMenu = 4;
constexpr unsigned kPeResourceGroupIcon = 14;
constexpr unsigned kPeResourceManifest = 24;

struct PeResource {
    unsigned type = 0;      // numeric type, 0 if the type is named
    unsigned id = 0;        // numeric id, 0 if the entry is named
    unsigned language = 0;  // language id (e.g. 1033 for en-US)
    unsigned size = 0;      // size of the resource data in bytes
    std::string typeName;   // set when the type is named (non-ASCII -> '?')
    std::string name;       // set when the entry is named (non-ASCII -> '?')
};

struct PeInfo {
    bool ok = false;
    std::string error;  // set when ok is false
    unsigned machine = 0;
    bool pe32plus = false;
    unsigned subsystem = 0;
    std::vector<std::string> imports;     // DLL names as spelled in the file
    std::vector<PeResource> resources;    // in directory order
    unsigned long long sizeOfCode = 0;
    std::vector<std::pair<std::string, unsigned>> sections;  // name, raw size
};

PeInfo ReadPeInfo(const std::vector<unsigned char>& image);

// Whole file contents; empty if the file cannot be opened or read.
std::vector<unsigned char> ReadFileBytes(const std::string& path);
