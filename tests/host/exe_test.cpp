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

// ---------------------------------------------------------------------------
// The reader, on small images built here.

class Bytes {
public:
    std::vector<unsigned char> data;

    void Put16(std::size_t at, unsigned value) {
        Grow(at + 2);
        data[at] = static_cast<unsigned char>(value);
        data[at + 1] = static_cast<unsigned char>(value >> 8);
    }
    void Put32(std::size_t at, std::uint32_t value) {
        Grow(at + 4);
        for (int i = 0; i < 4; ++i) data[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
    void PutText(std::size_t at, const std::string& text) {
        Grow(at + text.size() + 1);
        std::copy(text.begin(), text.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
    }
    std::size_t Append(std::size_t size) {
        const std::size_t at = data.size();
        Grow(at + size);
        return at;
    }

private:
    void Grow(std::size_t size) {
        if (data.size() < size) data.resize(size, 0);
    }
};

// A resource tree in its own section; offsets are relative to its root.
class ResourceTree {
public:
    explicit ResourceTree(std::uint32_t sectionRva) : rva_(sectionRva) {}

    // Directory with room for `entries` entries; returns its offset.
    std::size_t Directory(unsigned namedEntries, unsigned idEntries) {
        const std::size_t at = bytes_.Append(16 + 8 * (namedEntries + idEntries));
        bytes_.Put16(at + 12, namedEntries);
        bytes_.Put16(at + 14, idEntries);
        return at;
    }
    void IdEntry(std::size_t dir, unsigned index, unsigned id, std::uint32_t target) {
        bytes_.Put32(dir + 16 + 8 * index, id);
        bytes_.Put32(dir + 20 + 8 * index, target);
    }
    void NamedEntry(std::size_t dir, unsigned index, const std::string& name, std::uint32_t target) {
        const std::size_t at = bytes_.Append(2 + 2 * name.size());
        bytes_.Put16(at, static_cast<unsigned>(name.size()));
        for (std::size_t i = 0; i < name.size(); ++i) bytes_.Put16(at + 2 + 2 * i, static_cast<unsigned char>(name[i]));
        bytes_.Put32(dir + 16 + 8 * index, 0x80000000u | static_cast<std::uint32_t>(at));
        bytes_.Put32(dir + 20 + 8 * index, target);
    }
    static std::uint32_t Sub(std::size_t dir) { return 0x80000000u | static_cast<std::uint32_t>(dir); }

    // Data entry plus `size` bytes of data appended after everything so far.
    std::uint32_t Data(std::uint32_t size) {
        const std::size_t entry = bytes_.Append(16);
        const std::size_t data = bytes_.Append(size);
        bytes_.Put32(entry, rva_ + static_cast<std::uint32_t>(data));
        bytes_.Put32(entry + 4, size);
        return static_cast<std::uint32_t>(entry);
    }

    const std::vector<unsigned char>& bytes() const { return bytes_.data; }

private:
    std::uint32_t rva_;
    Bytes bytes_;
};

constexpr std::uint32_t kIdataRva = 0x2000;
constexpr std::uint32_t kRsrcRva = 0x3000;

// Resources: bitmap 101 (1033, 1200 bytes), bitmap 101 (1031, 7 bytes),
// named type "PNG" with named entry "FACE" (1033, 5 bytes).
std::vector<unsigned char> SampleResources() {
    ResourceTree tree(kRsrcRva);
    const std::size_t root = tree.Directory(1, 1);
    const std::size_t pngNames = tree.Directory(1, 0);
    const std::size_t bitmapIds = tree.Directory(0, 1);
    const std::size_t pngLangs = tree.Directory(0, 1);
    const std::size_t bitmapLangs = tree.Directory(0, 2);
    tree.NamedEntry(root, 0, "PNG", ResourceTree::Sub(pngNames));
    tree.IdEntry(root, 1, 2, ResourceTree::Sub(bitmapIds));
    tree.NamedEntry(pngNames, 0, "FACE", ResourceTree::Sub(pngLangs));
    tree.IdEntry(bitmapIds, 0, 101, ResourceTree::Sub(bitmapLangs));
    tree.IdEntry(pngLangs, 0, 1033, tree.Data(5));
    tree.IdEntry(bitmapLangs, 0, 1031, tree.Data(7));
    tree.IdEntry(bitmapLangs, 1, 1033, tree.Data(1200));  // data ends the file
    return tree.bytes();
}

struct Layout {
    std::size_t peHeader = 0x80;
    std::size_t optionalHeader = 0x98;
    std::size_t directories = 0;  // file offset of data directory 0
    std::size_t idata = 0x400;
    std::size_t rsrc = 0x600;
};

// Three sections: .text (code), .idata (imports of KERNEL32.dll and
// msvcrt.dll), .rsrc (the given tree). The last section ends the file.
std::vector<unsigned char> BuildImage(bool pe32plus, const std::vector<unsigned char>& resources,
                                      Layout* layout = nullptr) {
    Layout l;
    Bytes image;
    image.PutText(0, "MZ");
    image.Put32(0x3c, static_cast<std::uint32_t>(l.peHeader));
    image.PutText(l.peHeader, "PE");
    const std::size_t coff = l.peHeader + 4;
    const unsigned optionalSize = pe32plus ? 240 : 224;
    image.Put16(coff, pe32plus ? kPeMachineAmd64 : kPeMachineI386);
    image.Put16(coff + 2, 3);
    image.Put16(coff + 16, optionalSize);
    image.Put16(coff + 18, 0x0102);

    const std::size_t opt = l.optionalHeader;
    image.Put16(opt, pe32plus ? 0x20b : 0x10b);
    image.Put32(opt + 4, 0x200);  // SizeOfCode
    image.Put16(opt + 68, kPeSubsystemWindowsGui);
    const std::size_t countAt = opt + (pe32plus ? 108 : 92);
    image.Put32(countAt, 16);
    l.directories = countAt + 4;
    image.Put32(l.directories + 8, kIdataRva);
    image.Put32(l.directories + 12, 60);
    image.Put32(l.directories + 16, kRsrcRva);
    image.Put32(l.directories + 20, static_cast<std::uint32_t>(resources.size()));

    struct SectionDef {
        const char* name;
        std::uint32_t rva, rawSize, rawOffset;
    };
    const SectionDef sections[] = {
        {".text", 0x1000, 0x200, 0x200},
        {".idata", kIdataRva, 0x200, static_cast<std::uint32_t>(l.idata)},
        {".rsrc", kRsrcRva, static_cast<std::uint32_t>(resources.size()), static_cast<std::uint32_t>(l.rsrc)},
    };
    std::size_t at = opt + optionalSize;
    for (const SectionDef& s : sections) {
        image.PutText(at, s.name);
        image.Put32(at + 8, s.rawSize);  // VirtualSize
        image.Put32(at + 12, s.rva);
        image.Put32(at + 16, s.rawSize);
        image.Put32(at + 20, s.rawOffset);
        at += 40;
    }

    // Two import descriptors (name RVA at +12, FirstThunk at +16), then the
    // all-zero terminator.
    image.Put32(l.idata + 12, kIdataRva + 0x40);
    image.Put32(l.idata + 16, kIdataRva + 0x80);
    image.Put32(l.idata + 20 + 12, kIdataRva + 0x50);
    image.Put32(l.idata + 20 + 16, kIdataRva + 0x90);
    image.PutText(l.idata + 0x40, "KERNEL32.dll");
    image.PutText(l.idata + 0x50, "msvcrt.dll");
    image.Put32(l.idata + 0x1fc, 0);  // pad .idata to its raw size

    for (std::size_t i = 0; i < resources.size(); ++i) image.data.push_back(resources[i]);
    if (layout != nullptr) *layout = l;
    return image.data;
}

TEST(PeReader, ReadsHandBuiltImagesOfBothFormats) {
    for (bool pe32plus : {false, true}) {
        SCOPED_TRACE(pe32plus ? "PE32+" : "PE32");
        const PeInfo info = ReadPeInfo(BuildImage(pe32plus, SampleResources()));
        ASSERT_TRUE(info.ok) << info.error;
        EXPECT_EQ(info.machine, pe32plus ? kPeMachineAmd64 : kPeMachineI386);
        EXPECT_EQ(info.pe32plus, pe32plus);
        EXPECT_EQ(info.subsystem, kPeSubsystemWindowsGui);
        EXPECT_EQ(info.sizeOfCode, 0x200u);
        EXPECT_EQ(info.imports, (std::vector<std::string>{"KERNEL32.dll", "msvcrt.dll"}));
        ASSERT_EQ(info.sections.size(), 3u);
        EXPECT_EQ(info.sections[1].first, ".idata");
        EXPECT_EQ(info.sections[1].second, 0x200u);

        ASSERT_EQ(info.resources.size(), 3u);
        EXPECT_EQ(info.resources[0].typeName, "PNG");
        EXPECT_EQ(info.resources[0].name, "FACE");
        EXPECT_EQ(info.resources[0].language, 1033u);
        EXPECT_EQ(info.resources[0].size, 5u);
        const PeResource* bitmap = FindNumbered(info, kPeResourceBitmap, 101, 1033);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->size, 1200u);
        const PeResource* german = FindNumbered(info, kPeResourceBitmap, 101, 1031);
        ASSERT_NE(german, nullptr);
        EXPECT_EQ(german->size, 7u);
    }
}

TEST(PeReader, RejectsEveryTruncation) {
    const std::vector<unsigned char> image = BuildImage(false, SampleResources());
    ASSERT_TRUE(ReadPeInfo(image).ok);
    for (std::size_t length = 0; length < image.size(); ++length) {
        const PeInfo info = ReadPeInfo(std::vector<unsigned char>(image.begin(), image.begin() + length));
        EXPECT_FALSE(info.ok) << "accepted the first " << length << " bytes";
        EXPECT_FALSE(info.error.empty());
    }
}

TEST(PeReader, RejectsBrokenHeaders) {
    Layout l;
    const std::vector<unsigned char> good = BuildImage(true, SampleResources(), &l);
    auto broken = [&](auto change) {
        std::vector<unsigned char> image = good;
        change(image);
        return ReadPeInfo(image);
    };
    EXPECT_FALSE(broken([](auto& b) { b[0] = 'Z'; }).ok) << "bad MZ";
    EXPECT_FALSE(broken([&](auto& b) { b[l.peHeader + 1] = 'X'; }).ok) << "bad PE signature";
    EXPECT_FALSE(broken([](auto& b) { b[0x3f] = 0x7f; }).ok) << "PE header offset past end of file";
    EXPECT_FALSE(broken([&](auto& b) { b[l.optionalHeader] = 0x0c; }).ok) << "unknown optional header magic";
    EXPECT_FALSE(broken([&](auto& b) { b[l.peHeader + 4 + 3] = 0x40; }).ok) << "section table past end of file";
}

TEST(PeReader, RejectsAddressesOutsideTheFileData) {
    Layout l;
    const std::vector<unsigned char> good = BuildImage(false, SampleResources(), &l);
    auto withWord = [&](std::size_t at, std::uint32_t value) {
        std::vector<unsigned char> image = good;
        for (int i = 0; i < 4; ++i) image[at + i] = static_cast<unsigned char>(value >> (8 * i));
        return ReadPeInfo(image);
    };
    // Import directory between .idata and .rsrc: in no section.
    EXPECT_FALSE(withWord(l.directories + 8, 0x2800).ok);
    // Import name RVA past the end of .idata's file data.
    EXPECT_FALSE(withWord(l.idata + 12, kIdataRva + 0x200).ok);
    // Resource root in the gap between sections.
    EXPECT_FALSE(withWord(l.directories + 16, 0x2a00).ok);

    // A DLL name running to the end of its section without a terminator.
    std::vector<unsigned char> unterminated = good;
    std::fill(unterminated.begin() + static_cast<std::ptrdiff_t>(l.idata + 0x40),
              unterminated.begin() + static_cast<std::ptrdiff_t>(l.idata + 0x200), 'A');
    EXPECT_FALSE(ReadPeInfo(unterminated).ok);
}

TEST(PeReader, StopsOnCyclicOrExplodingResourceTrees) {
    {
        // The type directory names itself as subdirectory at every level.
        ResourceTree tree(kRsrcRva);
        const std::size_t root = tree.Directory(0, 1);
        tree.IdEntry(root, 0, 2, ResourceTree::Sub(root));
        const PeInfo info = ReadPeInfo(BuildImage(false, tree.bytes()));
        EXPECT_FALSE(info.ok);
    }
    {
        // 64 entries per level, all pointing at one directory: 64^3 leaves
        // from a few kilobytes of file.
        constexpr unsigned kFan = 64;
        ResourceTree tree(kRsrcRva);
        const std::size_t root = tree.Directory(0, kFan);
        const std::size_t names = tree.Directory(0, kFan);
        const std::size_t langs = tree.Directory(0, kFan);
        const std::uint32_t data = tree.Data(4);
        for (unsigned i = 0; i < kFan; ++i) {
            tree.IdEntry(root, i, i + 1, ResourceTree::Sub(names));
            tree.IdEntry(names, i, i + 1, ResourceTree::Sub(langs));
            tree.IdEntry(langs, i, i + 1, data);
        }
        const PeInfo info = ReadPeInfo(BuildImage(false, tree.bytes()));
        EXPECT_FALSE(info.ok);
        EXPECT_TRUE(info.resources.empty());
    }
}

}  // namespace
