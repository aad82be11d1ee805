#pragma once

#include <cstdint>
#include <cstdio>

#include "si/Section.h"

// A table that can parse the verified section in its buffer, react to its
// completion, and save or restore that section as a raw record:
//   offset 0  marker, 4 bytes (0: a section follows)
//   offset 4  PID, 4 bytes
//   offset 8  size n of the section (section_length + 3), 4 bytes
//   offset 12 the n section bytes, table_id first, CRC_32 included
// every 32-bit value little-endian.
class CTable : public CSection {
public:
    virtual void Parse() = 0;
    // Whether the verified section in the buffer is worth parsing: false
    // only where OnComplete() will use nothing Parse() would build, so the
    // dispatcher may pass the section to OnComplete() unparsed.
    virtual bool NeedsParse() const { return true; }
    virtual void OnComplete(int64_t packetCount) { (void)packetCount; }
    virtual bool Save(std::FILE* fp);
    // Reads one record; a record that holds no section changes nothing. A
    // section larger than the buffer is refused (false, buffer untouched).
    virtual bool Load(std::FILE* fp);
};
