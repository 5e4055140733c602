#include "Util/ByteCount.h"

#include <gtest/gtest.h>

using ostrel::formatFileByteCount;

TEST(ByteCount, SmallCountsAreBytes) {
    EXPECT_EQ(formatFileByteCount(0), "Zero KB");
    EXPECT_EQ(formatFileByteCount(1), "1 byte");
    EXPECT_EQ(formatFileByteCount(2), "2 bytes");
    EXPECT_EQ(formatFileByteCount(999), "999 bytes");
}

TEST(ByteCount, UnitsAreDecimalWithTheirFractionDigits) {
    EXPECT_EQ(formatFileByteCount(1000), "1 KB");
    EXPECT_EQ(formatFileByteCount(1499), "1 KB");
    EXPECT_EQ(formatFileByteCount(1500), "2 KB");
    EXPECT_EQ(formatFileByteCount(1'000'000), "1 MB");
    EXPECT_EQ(formatFileByteCount(1'550'000), "1.6 MB");
    EXPECT_EQ(formatFileByteCount(5'120'000'000), "5.12 GB");
    EXPECT_EQ(formatFileByteCount(5'100'000'000), "5.1 GB");
    EXPECT_EQ(formatFileByteCount(2'000'000'000'000), "2 TB");
}

TEST(ByteCount, RoundingCarriesIntoTheNextUnit) {
    EXPECT_EQ(formatFileByteCount(999'999), "1 MB");
    EXPECT_EQ(formatFileByteCount(999'960'000), "1 GB");
}
