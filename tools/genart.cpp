// genart: writes deskclock's resource artwork, or checks a committed copy.
//
//   genart <outdir>          write skin.bmp, minute.bmp, hour.bmp, clock.ico
//   genart --check <dir>     exit 1 unless the files in <dir> match exactly

#include "artwork.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct ArtFile {
    const char* name;
    std::vector<unsigned char> bytes;
};

std::vector<ArtFile> GenerateAll() {
    return {
        {"skin.bmp", MakeSkinBitmap()},
        {"minute.bmp", MakeNeedleBitmap(kMinuteNeedleLastRow)},
        {"hour.bmp", MakeNeedleBitmap(kHourNeedleLastRow)},
        {"clock.ico", MakeIconFile()},
    };
}

bool ReadFile(const fs::path& path, std::vector<unsigned char>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int WriteAll(const fs::path& dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "genart: cannot create %s: %s\n", dir.string().c_str(), ec.message().c_str());
        return 1;
    }
    for (const ArtFile& file : GenerateAll()) {
        const fs::path path = dir / file.name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "genart: cannot write %s\n", path.string().c_str());
            return 1;
        }
    }
    return 0;
}

int CheckAll(const fs::path& dir) {
    int mismatches = 0;
    for (const ArtFile& file : GenerateAll()) {
        std::vector<unsigned char> existing;
        if (!ReadFile(dir / file.name, existing)) {
            std::printf("missing: %s\n", file.name);
            ++mismatches;
        } else if (existing != file.bytes) {
            std::printf("differs: %s\n", file.name);
            ++mismatches;
        }
    }
    if (mismatches != 0) std::printf("%d of 4 artwork files out of date; rerun genart\n", mismatches);
    return mismatches == 0 ? 0 : 1;
}

void Usage() {
    std::fprintf(stderr, "usage: genart <outdir>\n       genart --check <dir>\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--check") != 0) return WriteAll(argv[1]);
    if (argc == 3 && std::strcmp(argv[1], "--check") == 0) return CheckAll(argv[2]);
    Usage();
    return 2;
}
