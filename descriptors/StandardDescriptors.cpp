#include "descriptors/DescriptorRanges.h"

std::unique_ptr<CDescriptor> CreateStandardDescriptor(int, int, CByteReader&, CARIBStringDecoder&) {
    return nullptr;
}
