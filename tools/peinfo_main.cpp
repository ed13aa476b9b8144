// peinfo <exe>: print what a Windows executable targets, imports and contains.
#include <cstdio>
#include <string>

#include "peinfo.h"

namespace {

const char* MachineName(unsigned machine) {
    switch (machine) {
        case kPeMachineI386: return "i386";
        case kPeMachineAmd64: return "AMD64";
        case 0x1c4: return "ARMNT";
        case 0xaa64: return "ARM64";
        default: return "unknown";
    }
}

const char* SubsystemName(unsigned subsystem) {
    switch (subsystem) {
        case 1: return "native";
        case kPeSubsystemWindowsGui: return "Windows GUI";
        case kPeSubsystemWindowsCui: return "Windows console";
        default: return "other";
    }
}

const char* ResourceTypeName(unsigned type) {
    switch (type) {
        case 1: return "CURSOR";
        case kPeResourceBitmap: return "BITMAP";
        case kPeResourceIcon: return "ICON";
        case kPeResourceMenu: return "MENU";
        case 5: return "DIALOG";
        case 6: return "STRING";
        case 9: return "ACCELERATOR";
        case 10: return "RCDATA";
        case 12: return "GROUP_CURSOR";
        case kPeResourceGroupIcon: return "GROUP_ICON";
        case 16: return "VERSION";
        case kPeResourceManifest: return "MANIFEST";
        default: return "";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <exe>\n", argc > 0 ? argv[0] : "peinfo");
        return 2;
    }
    const std::vector<unsigned char> bytes = ReadFileBytes(argv[1]);
    if (bytes.empty()) {
        std::fprintf(stderr, "%s: cannot read file or file is empty\n", argv[1]);
        return 1;
    }
    const PeInfo info = ReadPeInfo(bytes);
    if (!info.ok) {
        std::fprintf(stderr, "%s: %s\n", argv[1], info.error.c_str());
        return 1;
    }

    std::printf("file:         %s\n", argv[1]);
    std::printf("format:       %s\n", info.pe32plus ? "PE32+" : "PE32");
    std::printf("machine:      0x%x (%s)\n", info.machine, MachineName(info.machine));
    std::printf("subsystem:    %u (%s)\n", info.subsystem, SubsystemName(info.subsystem));
    std::printf("size of code: %llu\n", info.sizeOfCode);

    std::printf("imports:      %zu\n", info.imports.size());
    for (const std::string& dll : info.imports) std::printf("  %s\n", dll.c_str());

    std::printf("resources:    %zu\n", info.resources.size());
    for (const PeResource& r : info.resources) {
        const std::string type = r.typeName.empty()
                                     ? std::to_string(r.type) + " " + ResourceTypeName(r.type)
                                     : "\"" + r.typeName + "\"";
        const std::string id = r.name.empty() ? std::to_string(r.id) : "\"" + r.name + "\"";
        std::printf("  type %-16s id %-8s lang %-5u size %u\n", type.c_str(), id.c_str(), r.language, r.size);
    }

    std::printf("sections:     %zu\n", info.sections.size());
    for (const auto& section : info.sections)
        std::printf("  %-16s raw size %u\n", section.first.c_str(), section.second);
    return 0;
}
