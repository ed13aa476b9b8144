// Checks of the built Windows executables, read on the build host, and of the
// PE reader those checks rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "peinfo.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const PeResource* FindNumbered(const PeInfo& info, unsigned type, unsigned id, unsigned language) {
    for (const PeResource& r : info.resources)
        if (r.typeName.empty() && r.name.empty() && r.type == type && r.id == id && r.language == language)
            return &r;
    return nullptr;
}

// ---------------------------------------------------------------------------
// The built executables.

struct Target {
    const char* variable;
    const char* builtPath;
    unsigned machine;
    bool pe32plus;
};

void PrintTo(const Target& target, std::ostream* os) { *os << target.variable; }

class BuiltExe : public ::testing::TestWithParam<Target> {
protected:
    void SetUp() override {
        // The variable points the checks at another copy, such as a release.
        const char* path = std::getenv(GetParam().variable);
        if (path == nullptr || *path == '\0')
            path = GetParam().builtPath;
        const std::vector<unsigned char> bytes = ReadFileBytes(path);
        ASSERT_FALSE(bytes.empty()) << "cannot read " << path;
        info_ = ReadPeInfo(bytes);
        ASSERT_TRUE(info_.ok) << path << ": " << info_.error;
    }

    PeInfo info_;
};

TEST_P(BuiltExe, TargetsItsMachineAsGuiProgram) {
    EXPECT_EQ(info_.machine, GetParam().machine);
    EXPECT_EQ(info_.pe32plus, GetParam().pe32plus);
    EXPECT_EQ(info_.subsystem, kPeSubsystemWindowsGui);
}

// The program must run on a bare Windows install: only system DLLs, and in
// particular no libstdc++/libgcc/libwinpthread runtime DLLs.
TEST_P(BuiltExe, ImportsOnlySystemDlls) {
    const std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll",
                                           "msvcrt.dll"};
    std::set<std::string> imported;
    for (const std::string& dll : info_.imports) {
        EXPECT_TRUE(allowed.count(Lower(dll))) << "unexpected import: " << dll;
        imported.insert(Lower(dll));
    }
    for (const char* required : {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll"})
        EXPECT_TRUE(imported.count(required)) << "missing import: " << required;
}

TEST_P(BuiltExe, HasItsResourcesInUsEnglish) {
    constexpr unsigned kEnglishUs = 1033;
    struct Expected {
        unsigned type;
        unsigned id;
        unsigned size;  // 0: size not checked
    };
    // Bitmaps are stored without the BITMAPFILEHEADER: a 40-byte
    // BITMAPINFOHEADER, the palette, then the pixels.
    const Expected expected[] = {
        {kPeResourceBitmap, 101, 40 + 320 * 240 * 3},     // face, 24-bit
        {kPeResourceBitmap, 102, 40 + 256 * 4 + 128 * 128},  // 8-bit, 128x128
        {kPeResourceBitmap, 103, 40 + 256 * 4 + 128 * 128},
        {kPeResourceGroupIcon, 104, 0},
        {kPeResourceMenu, 105, 0},
        {16, 1, 0},  // version information
        {24, 1, 0},  // application manifest
    };
    for (const Expected& e : expected) {
        const PeResource* found = FindNumbered(info_, e.type, e.id, kEnglishUs);
        if (found == nullptr) {
            ADD_FAILURE() << "missing resource type " << e.type << " id " << e.id << " language " << kEnglishUs;
            continue;
        }
        if (e.size != 0) {
            EXPECT_EQ(found->size, e.size) << "resource type " << e.type << " id " << e.id;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, BuiltExe,
                         ::testing::Values(Target{"DESKCLOCK_EXE32", DESKCLOCK_BUILT_EXE32, kPeMachineI386, false},
                                           Target{"DESKCLOCK_EXE64", DESKCLOCK_BUILT_EXE64, kPeMachineAmd64, true}),
                         [](const ::testing::TestParamInfo<Target>& param) {
                             return std::string(param.param.pe32plus ? "Win64" : "Win32");
                         });

}  // namespace
