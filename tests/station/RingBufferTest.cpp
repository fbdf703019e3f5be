#include "station/RingBuffer.h"
#include "station/Hardware.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

using namespace Hardware;

struct LayoutCase {
    int transmitters;
    unsigned end, byteSize, datasetSize;
    int datasetCount;
};

class LayoutGeometry : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutGeometry, MatchesTheStation) {
    const LayoutCase& c = GetParam();
    const RingBuffer* layout = RingBuffer::GetConfig(c.transmitters);
    EXPECT_EQ(layout->NrOfTransmitters(), c.transmitters);
    EXPECT_EQ(layout->Start(), 100);
    EXPECT_EQ(layout->End(), c.end);
    EXPECT_EQ(layout->ByteSize(), c.byteSize);
    EXPECT_EQ(layout->DatasetSize(), c.datasetSize);
    EXPECT_EQ(layout->DatasetCount(), c.datasetCount);
    EXPECT_EQ(layout->Start() + layout->DatasetCount() * layout->DatasetSize(), layout->End());
    EXPECT_LE(layout->End(), 32768u);
    EXPECT_EQ(layout, RingBuffer::GetConfig(c.transmitters)); // shared object
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, LayoutGeometry,
                         ::testing::Values(LayoutCase{1, 0x7FF8, 32660, 10, 3266},
                                           LayoutCase{2, 0x7FF4, 32656, 13, 2512},
                                           LayoutCase{3, 0x7FF3, 32655, 15, 2177},
                                           LayoutCase{4, 0x7FF0, 32652, 18, 1814},
                                           LayoutCase{5, 0x7FF8, 32660, 20, 1633}));

TEST(RingBufferConfig, RejectsCountsOutsideOneToFive) {
    for (int count : {0, 6, 15, -1}) {
        try {
            RingBuffer::GetConfig(count);
            ADD_FAILURE() << "no error for " << count;
        } catch (const std::runtime_error& error) {
            const std::string suffix = "Wrong number of transmitters requested: " + std::to_string(count);
            const std::string text = error.what();
            EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
        }
    }
}

TEST(StationBytes, FlagsAndTransmitterNibbles) {
    EXPECT_TRUE(IsRingBufferFull(0xF4));
    EXPECT_FALSE(IsRingBufferFull(0xF0));
    EXPECT_FALSE(IsRingBufferFull(0x0B));
    EXPECT_EQ(TransmitterCountOf(0x23), 3);
    EXPECT_EQ(EE_START_OF_RINGBUFFER + EE_RINGBUFFER_SIZE, 0x7FF7);
}
