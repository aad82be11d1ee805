#include "descriptors/DescriptorRanges.h"

std::unique_ptr<CDescriptor> CreateAribDescriptorE0(int, int, CByteReader&, CARIBStringDecoder&) {
    return nullptr;
}
