// The server's version number read from a FileVersion text.
#include <gtest/gtest.h>

#include "servers/rs232/component_version.h"

TEST(ComponentVersion, FourNumbersWhateverSeparatesThem)
{
    EXPECT_EQ(0x02030405u, mrv::parse_file_version("2.3.4.5"));
    EXPECT_EQ(0x02030405u, mrv::parse_file_version("2, 3, 4, 5"));
    EXPECT_EQ(0x0A000B0Cu, mrv::parse_file_version("v10.0 (build 11-12)"));
    // A part above 255 carries into the next one.
    EXPECT_EQ(0x02000001u, mrv::parse_file_version("1.256.0.1"));
    // Fewer than four numbers cannot be read.
    EXPECT_FALSE(mrv::parse_file_version("1"));
    EXPECT_FALSE(mrv::parse_file_version("1.2.3."));
}
