// The generated icon, in the two sizes the shell asks for. The bitmaps'
// formats and sizes are checked in the built executables, their pixels by
// the face's tests.
#include "artwork.h"

#include <gtest/gtest.h>

namespace {

typedef std::vector<unsigned char> Bytes;

unsigned U16(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }

TEST(Icon, HoldsA32And16PixelImageOf16Colours)
{
    const Bytes icon = MakeIconFile();
    ASSERT_EQ(2u, U16(icon, 4));
    for (int i = 0; i < 2; ++i) {
        size_t entry = 6 + 16 * i;
        EXPECT_EQ(i ? 16 : 32, icon.at(entry)) << "width";
        EXPECT_EQ(i ? 16 : 32, icon.at(entry + 1)) << "height";
        EXPECT_EQ(16, icon.at(entry + 2)) << "colours";
        EXPECT_EQ(4u, U16(icon, entry + 6)) << "bits per pixel";
    }
}

}  // namespace
