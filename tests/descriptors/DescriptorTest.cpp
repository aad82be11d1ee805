#include <gtest/gtest.h>

#include "descriptors/Descriptor.h"
#include "text/ARIBStringDecoder.h"

TEST(CDescriptorTest, UnhandledTagGivesNoObject) {
    const std::vector<uint8_t> b = {0x44, 0x00};
    CARIBStringDecoder dec;
    EXPECT_EQ(nullptr, CreateDescriptor(b.data(), b.data() + b.size(), dec));
}
