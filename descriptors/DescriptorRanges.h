#pragma once

// The per-range builders that CreateDescriptor() selects between. Each takes
// the tag, the descriptor_length, a reader positioned at the first payload
// byte (byte 2) that ends with the section, and the decoder of the parse;
// each returns nullptr for a tag its range does not handle. The factory sets
// descriptor_tag and descriptor_length on what they return.

#include <memory>

#include "descriptors/Descriptor.h"

std::unique_ptr<CDescriptor> CreateStandardDescriptor(int tag, int length, CByteReader& r,
                                                      CARIBStringDecoder& dec);
std::unique_ptr<CDescriptor> CreateAribDescriptorC0(int tag, int length, CByteReader& r,
                                                    CARIBStringDecoder& dec);
std::unique_ptr<CDescriptor> CreateAribDescriptorD0(int tag, int length, CByteReader& r,
                                                    CARIBStringDecoder& dec);
std::unique_ptr<CDescriptor> CreateAribDescriptorE0(int tag, int length, CByteReader& r,
                                                    CARIBStringDecoder& dec);
