#pragma once
// The packed data image's byte order and sizes, shared by the image itself, the memory file around it and
// the tools, benchmarks and tests that size a buffer for it.

#include "CvAssociativeMemory.h"

#include <cstddef>
#include <cstdint>

/* Size of the record header. */
const size_t CV_AM_PACKED_HEADER = 40;
/* Where the record header's fields lie: u32 width, u32 height, u32 check value, u32 dataSize,
   u16 deepestLevel, u16 levels, u32 baseCount, u64 baseIndex, u64 accessCount. */
const size_t CV_AM_PACKED_WIDTH_AT = 0;
const size_t CV_AM_PACKED_HEIGHT_AT = 4;
const size_t CV_AM_PACKED_CHECK_AT = 8;
const size_t CV_AM_PACKED_DATA_SIZE_AT = 12;
const size_t CV_AM_PACKED_DEEPEST_AT = 16;
const size_t CV_AM_PACKED_LEVELS_AT = 18;
const size_t CV_AM_PACKED_COUNT_AT = 20;
const size_t CV_AM_PACKED_INDEX_AT = 24;
const size_t CV_AM_PACKED_ACCESSES_AT = 32;
/* Size of one parent table entry. */
const size_t CV_AM_PACKED_PARENT = 8;
/* Size of the fixed part of a base record: the base header and the feature byte count. */
const size_t CV_AM_PACKED_BASE = 32;
/* Where a base record's fields lie: the 28-byte base header (u64 index, u64 hits, u64 threshold, i32 data),
   then the u32 feature byte count; the feature values follow the fixed part. */
const size_t CV_AM_PACKED_HITS_AT = 8;
const size_t CV_AM_PACKED_THRESHOLD_AT = 16;
const size_t CV_AM_PACKED_DATA_AT = 24;
const size_t CV_AM_PACKED_BYTES_AT = 28;

/* Writes v at p in little-endian order. */
template <class T> void PutLittleEndian(unsigned char* p, T v)
{
    for (size_t i = 0; i < sizeof(T); i++)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

/* Reads a little-endian value at p. */
template <class T> T GetLittleEndian(const unsigned char* p)
{
    T v = 0;
    for (size_t i = sizeof(T); i-- > 0;)
        v = static_cast<T>((v << 8) | p[i]);
    return v;
}

inline void PutU16(unsigned char* p, uint16_t v)
{
    PutLittleEndian(p, v);
}
inline void PutU32(unsigned char* p, uint32_t v)
{
    PutLittleEndian(p, v);
}
inline void PutU64(unsigned char* p, uint64_t v)
{
    PutLittleEndian(p, v);
}
inline uint16_t GetU16(const unsigned char* p)
{
    return GetLittleEndian<uint16_t>(p);
}
inline uint32_t GetU32(const unsigned char* p)
{
    return GetLittleEndian<uint32_t>(p);
}
inline uint64_t GetU64(const unsigned char* p)
{
    return GetLittleEndian<uint64_t>(p);
}

/* The buffer a memory's packed data image is written into: the image itself plus the feature bytes of every
   base deleted since the memory was made, since dataSize is never lowered.
   size = header + (parent entry + fixed record) baseCount + dataSize = dataSize + 40 (baseCount + 1). */
inline int64_t GetPackedDataSize(const CvAMContext& context)
{
    return static_cast<int64_t>(CV_AM_PACKED_HEADER) +
           static_cast<int64_t>(CV_AM_PACKED_PARENT + CV_AM_PACKED_BASE) * context.baseCount +
           context.dataSize;
}
