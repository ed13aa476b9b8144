#include "peinfo.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

// Upper bounds that keep a hostile file from making the reader loop or
// allocate without end. Real executables are far below them.
constexpr std::size_t kMaxImports = 4096;
constexpr std::size_t kMaxStringLength = 4096;
constexpr std::size_t kMaxResourceEntries = 65536;

constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kImportDescriptorSize = 20;
constexpr std::size_t kCoffSymbolSize = 18;
constexpr unsigned kImportDirectory = 1;
constexpr unsigned kResourceDirectory = 2;
constexpr std::uint32_t kHighBit = 0x80000000u;

struct ParseError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t fileBacked;  // bytes of the section present in the file
    std::uint32_t rawOffset;
};

class Reader {
public:
    explicit Reader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }

    bool Has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    void Need(std::uint64_t offset, std::uint64_t length, const char* what) const {
        if (!Has(offset, length)) throw ParseError(std::string("truncated file: ") + what);
    }

    unsigned U8(std::size_t offset) const { return bytes_[offset]; }

    std::uint32_t U16(std::size_t offset, const char* what) const {
        Need(offset, 2, what);
        return static_cast<std::uint32_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }

    std::uint32_t U32(std::size_t offset, const char* what) const {
        Need(offset, 4, what);
        return static_cast<std::uint32_t>(bytes_[offset]) |
               (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes_[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(bytes_[offset + 3]) << 24);
    }

    // NUL-terminated string of at most `limit` bytes, all of which must lie
    // before `end`. Returns false if no terminator is found in that range.
    bool CString(std::size_t offset, std::size_t end, std::string& out) const {
        if (end > bytes_.size()) end = bytes_.size();
        out.clear();
        for (std::size_t i = offset; i < end && out.size() <= kMaxStringLength; ++i) {
            if (bytes_[i] == 0) return true;
            out.push_back(static_cast<char>(bytes_[i]));
        }
        return false;
    }

private:
    const std::vector<unsigned char>& bytes_;
};

class Parser {
public:
    explicit Parser(const std::vector<unsigned char>& bytes) : in_(bytes) {}

    PeInfo Run() {
        PeInfo info;
        ParseHeaders(info);
        if (importRva_ != 0) ParseImports(info);
        if (resourceRva_ != 0) ParseResources(info);
        info.ok = true;
        return info;
    }

private:
    void ParseHeaders(PeInfo& info) {
        in_.Need(0, 64, "DOS header");
        if (in_.U8(0) != 'M' || in_.U8(1) != 'Z') throw ParseError("missing MZ signature");
        const std::uint64_t pe = in_.U32(0x3c, "DOS header");
        in_.Need(pe, 4 + kCoffHeaderSize, "PE header");
        if (in_.U8(pe) != 'P' || in_.U8(pe + 1) != 'E' || in_.U8(pe + 2) != 0 || in_.U8(pe + 3) != 0)
            throw ParseError("missing PE signature");

        const std::size_t coff = pe + 4;
        info.machine = in_.U16(coff, "COFF header");
        const unsigned sectionCount = in_.U16(coff + 2, "COFF header");
        const std::uint32_t symbolTable = in_.U32(coff + 8, "COFF header");
        const std::uint32_t symbolCount = in_.U32(coff + 12, "COFF header");
        const unsigned optionalSize = in_.U16(coff + 16, "COFF header");

        const std::size_t opt = coff + kCoffHeaderSize;
        in_.Need(opt, optionalSize, "optional header");
        if (optionalSize < 2) throw ParseError("optional header too small");
        const unsigned magic = in_.U16(opt, "optional header");
        std::size_t directoryCountAt;
        if (magic == 0x10b) {
            info.pe32plus = false;
            directoryCountAt = 92;
        } else if (magic == 0x20b) {
            info.pe32plus = true;
            directoryCountAt = 108;
        } else {
            throw ParseError("unknown optional header magic");
        }
        if (optionalSize < directoryCountAt + 4) throw ParseError("optional header too small");
        info.sizeOfCode = in_.U32(opt + 4, "optional header");
        info.subsystem = in_.U16(opt + 68, "optional header");

        // Only directories that both the count and the header size cover exist.
        const std::uint64_t directoryCount = in_.U32(opt + directoryCountAt, "optional header");
        const std::uint64_t directoriesAt = directoryCountAt + 4;
        const std::uint64_t present =
            std::min<std::uint64_t>(directoryCount, (optionalSize - directoriesAt) / 8);
        auto directoryRva = [&](unsigned index) -> std::uint32_t {
            if (index >= present) return 0;
            return in_.U32(opt + directoriesAt + index * 8, "data directory");
        };
        importRva_ = directoryRva(kImportDirectory);
        resourceRva_ = directoryRva(kResourceDirectory);

        const std::size_t table = opt + optionalSize;
        in_.Need(table, static_cast<std::uint64_t>(sectionCount) * kSectionHeaderSize,
                 "section table");
        const std::uint64_t stringTable =
            static_cast<std::uint64_t>(symbolTable) + static_cast<std::uint64_t>(symbolCount) * kCoffSymbolSize;
        for (unsigned i = 0; i < sectionCount; ++i) {
            const std::size_t at = table + i * kSectionHeaderSize;
            std::string name;
            for (std::size_t k = 0; k < 8 && in_.U8(at + k) != 0; ++k)
                name.push_back(static_cast<char>(in_.U8(at + k)));
            if (symbolTable != 0) name = LongSectionName(name, stringTable);

            const std::uint32_t virtualSize = in_.U32(at + 8, "section table");
            const std::uint32_t virtualAddress = in_.U32(at + 12, "section table");
            const std::uint32_t rawSize = in_.U32(at + 16, "section table");
            const std::uint32_t rawOffset = in_.U32(at + 20, "section table");
            if (rawSize != 0 && !in_.Has(rawOffset, rawSize))
                throw ParseError("truncated file: section " + name + " extends past end of file");

            // The loader maps VirtualSize bytes; only the part also covered by
            // raw data comes from the file (the rest is zero-filled).
            const std::uint32_t mapped = virtualSize != 0 ? virtualSize : rawSize;
            sections_.push_back({virtualAddress, std::min(mapped, rawSize), rawOffset});
            info.sections.emplace_back(name, rawSize);
        }
    }

    // Section names longer than eight characters are stored as "/N", an
    // offset into the COFF string table. Falls back to the short form.
    std::string LongSectionName(const std::string& shortName, std::uint64_t stringTable) const {
        if (shortName.size() < 2 || shortName[0] != '/') return shortName;
        std::uint64_t offset = 0;
        for (std::size_t i = 1; i < shortName.size(); ++i) {
            if (shortName[i] < '0' || shortName[i] > '9') return shortName;
            offset = offset * 10 + static_cast<unsigned>(shortName[i] - '0');
        }
        if (!in_.Has(stringTable, offset)) return shortName;
        std::string longName;
        if (!in_.CString(stringTable + offset, in_.size(), longName) || longName.empty())
            return shortName;
        return longName;
    }

    // File offset of `length` bytes at `rva`; all of them must come from one
    // section's file-backed data.
    std::size_t Map(std::uint64_t rva, std::uint64_t length, const char* what) const {
        std::size_t available = 0;
        const std::size_t offset = MapSome(rva, available);
        if (available == 0 || length > available)
            throw ParseError(std::string(what) + " lies outside the sections' file data");
        return offset;
    }

    // File offset of `rva` and how many file-backed bytes follow it in its
    // section; available == 0 if the address is not backed by the file.
    std::size_t MapSome(std::uint64_t rva, std::size_t& available) const {
        available = 0;
        for (const Section& s : sections_) {
            if (rva >= s.virtualAddress && rva - s.virtualAddress < s.fileBacked) {
                const std::uint64_t delta = rva - s.virtualAddress;
                available = static_cast<std::size_t>(s.fileBacked - delta);
                return static_cast<std::size_t>(s.rawOffset + delta);
            }
        }
        return 0;
    }

    std::string StringAt(std::uint64_t rva, const char* what) const {
        std::size_t available = 0;
        const std::size_t offset = MapSome(rva, available);
        if (available == 0) throw ParseError(std::string(what) + " lies outside the sections' file data");
        std::string text;
        if (!in_.CString(offset, offset + available, text))
            throw ParseError(std::string(what) + " is not terminated");
        return text;
    }

    void ParseImports(PeInfo& info) {
        for (std::size_t index = 0;; ++index) {
            if (index >= kMaxImports) throw ParseError("too many import descriptors");
            const std::uint64_t rva = static_cast<std::uint64_t>(importRva_) + index * kImportDescriptorSize;
            const std::size_t at = Map(rva, kImportDescriptorSize, "import descriptor");
            bool allZero = true;
            for (std::size_t k = 0; k < kImportDescriptorSize; ++k) allZero = allZero && in_.U8(at + k) == 0;
            if (allZero) return;
            info.imports.push_back(StringAt(in_.U32(at + 12, "import descriptor"), "import DLL name"));
        }
    }

    // Offsets inside the resource tree are relative to the tree's root.
    std::size_t MapResource(std::uint32_t offset, std::uint64_t length, const char* what) const {
        return Map(static_cast<std::uint64_t>(resourceRva_) + offset, length, what);
    }

    std::string ResourceName(std::uint32_t offset) const {
        const std::size_t at = MapResource(offset, 2, "resource name");
        const unsigned length = in_.U16(at, "resource name");
        MapResource(offset, 2 + static_cast<std::uint64_t>(length) * 2, "resource name");
        std::string name;
        for (unsigned i = 0; i < length; ++i) {
            const unsigned unit = in_.U16(at + 2 + i * 2, "resource name");
            name.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        }
        return name;
    }

    // Levels: 0 = type, 1 = name/id, 2 = language; level 2 entries point at
    // data entries, the others at subdirectories.
    void ParseResourceDirectory(PeInfo& info, std::uint32_t dirOffset, int level, PeResource current) {
        const std::size_t dir = MapResource(dirOffset, 16, "resource directory");
        const std::uint64_t entryCount =
            static_cast<std::uint64_t>(in_.U16(dir + 12, "resource directory")) + in_.U16(dir + 14, "resource directory");
        MapResource(dirOffset, 16 + entryCount * 8, "resource directory entries");
        for (std::uint64_t i = 0; i < entryCount; ++i) {
            if (++visitedEntries_ > kMaxResourceEntries)
                throw ParseError("resource directory too large or cyclic");
            const std::size_t entry = dir + 16 + static_cast<std::size_t>(i) * 8;
            const std::uint32_t nameField = in_.U32(entry, "resource entry");
            const std::uint32_t target = in_.U32(entry + 4, "resource entry");
            const bool named = (nameField & kHighBit) != 0;
            const unsigned id = named ? 0 : (nameField & 0xffffu);
            const std::string name = named ? ResourceName(nameField & ~kHighBit) : std::string();

            PeResource next = current;
            if (level == 0) {
                next.type = id;
                next.typeName = name;
            } else if (level == 1) {
                next.id = id;
                next.name = name;
            } else {
                next.language = id;
            }

            const bool isDirectory = (target & kHighBit) != 0;
            if (level < 2) {
                if (!isDirectory) throw ParseError("resource data entry where a directory is expected");
                ParseResourceDirectory(info, target & ~kHighBit, level + 1, next);
            } else {
                if (isDirectory) throw ParseError("resource directory nested deeper than three levels");
                const std::size_t data = MapResource(target, 16, "resource data entry");
                const std::uint32_t dataRva = in_.U32(data, "resource data entry");
                next.size = in_.U32(data + 4, "resource data entry");
                if (next.size != 0) Map(dataRva, next.size, "resource data");
                info.resources.push_back(next);
            }
        }
    }

    void ParseResources(PeInfo& info) { ParseResourceDirectory(info, 0, 0, PeResource()); }

    Reader in_;
    std::vector<Section> sections_;
    std::uint32_t importRva_ = 0;
    std::uint32_t resourceRva_ = 0;
    std::size_t visitedEntries_ = 0;
};

}  // namespace

PeInfo ReadPeInfo(const std::vector<unsigned char>& image) {
    try {
        return Parser(image).Run();
    } catch (const ParseError& e) {
        PeInfo failed;
        failed.error = e.what();
        return failed;
    }
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return {};
    return bytes;
}
