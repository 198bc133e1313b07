// The packed data image: the whole memory as one little-endian record, and the memory rebuilt from it.
//
// Layout: a 40-byte header, a table of one parent index per base, then one record per base in depth-first
// pre-order: the 28-byte base header, the feature byte count and the feature values (zeros for the root).
// The record usually comes from a file in the working directory, so reading checks every byte it relies on
// before the current memory is touched.

#include "CvAssociativeMemory.h"
#include "ErrorReport.h"
#include "MemoryInternals.h"
#include "PackedFormat.h"
#include "SeqEntries.h"

#include <opencv2/core/core_c.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

/* The format check value of every record. */
const int32_t CV_AM_PACKED_CHECK = 4;

/* Writes one base's 28-byte header block. */
void PutHeader(unsigned char* p, const CvAMBaseHeader& h)
{
    PutU64(p, h.index);
    PutU64(p + CV_AM_PACKED_HITS_AT, h.hits);
    PutU64(p + CV_AM_PACKED_THRESHOLD_AT, h.threshold);
    PutU32(p + CV_AM_PACKED_DATA_AT, static_cast<uint32_t>(h.data));
}

CvAMBaseHeader GetHeader(const unsigned char* p)
{
    CvAMBaseHeader h;
    h.index = GetU64(p);
    h.hits = GetU64(p + CV_AM_PACKED_HITS_AT);
    h.threshold = GetU64(p + CV_AM_PACKED_THRESHOLD_AT);
    h.data = static_cast<int32_t>(GetU32(p + CV_AM_PACKED_DATA_AT));
    return h;
}

/* The two write positions that advance together through the parent table and the base records. */
struct PackCursor
{
    unsigned char* parent; /* next parent table entry */
    unsigned char* record; /* next base record */
};

/* Appends a base and, depth first, every non-null child of it. */
void PackBase(const CvAMBase* base, uint64_t parentIndex, PackCursor* cursor)
{
    PutU64(cursor->parent, parentIndex);
    cursor->parent += CV_AM_PACKED_PARENT;

    const size_t count = static_cast<size_t>(base->gridWidth) * static_cast<size_t>(base->gridHeight);
    unsigned char* p = cursor->record;
    PutHeader(p, *base);
    PutU32(p + CV_AM_PACKED_BYTES_AT, static_cast<uint32_t>(count * 2));
    p += CV_AM_PACKED_BASE;
    if (base->features) {
        for (size_t k = 0; k < count; k++)
            PutU16(p + 2 * k, static_cast<uint16_t>(base->features[k]));
    } else {
        std::memset(p, 0, count * 2);
    }
    cursor->record = p + count * 2;

    if (!base->children)
        return;
    ForEachEntry(base->children, [base, cursor](CvAMBase** child) {
        if (*child)
            PackBase(*child, base->index, cursor);
    });
}

/* What the validation pass learned about one base record. */
struct RecordPlan
{
    size_t offset;  /* offset of the record in the buffer */
    int32_t parent; /* position of the parent record; -1 for the root */
};

/* Checks the 40-byte record header against size and the sizing rules of Create: the feature bytes of a
   base of each level go into gridBytes and the base count into *count when a record of size bytes can
   start with it. No memory is made: a header may ask for one far larger than its record. */
bool CheckPackedHeader(const unsigned char* data, size_t size, std::vector<size_t>* gridBytes, int32_t* count)
{
    if (size < CV_AM_PACKED_HEADER)
        return false;
    const int32_t width = static_cast<int32_t>(GetU32(data + CV_AM_PACKED_WIDTH_AT));
    const int32_t height = static_cast<int32_t>(GetU32(data + CV_AM_PACKED_HEIGHT_AT));
    const int32_t check = static_cast<int32_t>(GetU32(data + CV_AM_PACKED_CHECK_AT));
    const int16_t levels = static_cast<int16_t>(GetU16(data + CV_AM_PACKED_LEVELS_AT));
    *count = static_cast<int32_t>(GetU32(data + CV_AM_PACKED_COUNT_AT));
    if (check != CV_AM_PACKED_CHECK || width < CV_AM_MIN_AREA_SIDE || height < CV_AM_MIN_AREA_SIDE ||
        levels < 1)
        return false;
    // Every base takes at least a parent entry and a fixed record part.
    if (*count < 1 || static_cast<uint64_t>(*count) >
                          (size - CV_AM_PACKED_HEADER) / (CV_AM_PACKED_PARENT + CV_AM_PACKED_BASE))
        return false;
    // The grids are exactly those that the rebuilt memory will have; a level count that Create would cap,
    // or sizes that would overflow what it computes from them, are refused.
    CvAMContext sizing = CvAMContext();
    if (!sizing.SetSizes(width, height, levels) || sizing.levels != levels)
        return false;
    gridBytes->clear();
    for (int16_t level = 0; level <= levels; level++) {
        const CvSize g = sizing.GetGridSize(level);
        gridBytes->push_back(static_cast<size_t>(g.width) * static_cast<size_t>(g.height) * 2);
    }
    return true;
}

/* Checks a whole record against size and the sizing rules of Create without touching the memory it is for;
   fills plan with one entry per base when the record can be rebuilt. */
bool PlanRecord(const unsigned char* data, size_t size, std::vector<RecordPlan>* plan)
{
    std::vector<size_t> gridBytes;
    int32_t count = 0;
    if (!CheckPackedHeader(data, size, &gridBytes, &count))
        return false;
    const int16_t levels = static_cast<int16_t>(gridBytes.size() - 1);
    // The rebuilt memory counts the feature bytes of all its bases in a 32-bit field.
    uint64_t dataSize = 0;

    const unsigned char* parents = data + CV_AM_PACKED_HEADER;
    std::vector<int16_t> level(static_cast<size_t>(count));
    // First record of each index; later records with the same index never shadow it.
    std::unordered_map<uint64_t, int32_t> firstOfIndex;
    firstOfIndex.reserve(static_cast<size_t>(count));
    plan->assign(static_cast<size_t>(count), RecordPlan{0, -1});
    size_t offset = CV_AM_PACKED_HEADER + (CV_AM_PACKED_PARENT * static_cast<size_t>(count));
    for (int32_t i = 0; i < count; i++) {
        if (size - offset < CV_AM_PACKED_BASE)
            return false;
        const uint64_t parentIndex = GetU64(parents + CV_AM_PACKED_PARENT * static_cast<size_t>(i));
        const uint64_t index = GetU64(data + offset);
        const uint32_t bytes = GetU32(data + offset + CV_AM_PACKED_BYTES_AT);
        // The root is the first record and the only one without a parent.
        if ((i == 0) != (parentIndex == 0))
            return false;
        int16_t baseLevel = 0;
        if (i > 0) {
            const auto found = firstOfIndex.find(parentIndex);
            if (found == firstOfIndex.end())
                return false;
            (*plan)[static_cast<size_t>(i)].parent = found->second;
            baseLevel = static_cast<int16_t>(level[static_cast<size_t>(found->second)] + 1);
            // Bases below the deepest level are never made by training; a base without features could
            // not be rebuilt from the record.
            if (baseLevel > levels || gridBytes[static_cast<size_t>(baseLevel)] == 0)
                return false;
        }
        if (bytes != gridBytes[static_cast<size_t>(baseLevel)] || size - offset - CV_AM_PACKED_BASE < bytes)
            return false;
        dataSize += bytes;
        if (dataSize > static_cast<uint64_t>(INT32_MAX))
            return false;
        level[static_cast<size_t>(i)] = baseLevel;
        (*plan)[static_cast<size_t>(i)].offset = offset;
        firstOfIndex.emplace(index, i);
        offset += CV_AM_PACKED_BASE + bytes;
    }
    return true;
}

} // namespace

size_t CvAssociativeMemory::GetPackedDataLimit(const void* header, size_t size)
{
    std::vector<size_t> gridBytes;
    int32_t count = 0;
    if (!CheckPackedHeader(static_cast<const unsigned char*>(header), size, &gridBytes, &count))
        return 0;
    // header + n (parent entry + fixed part) + the root's grid + n - 1 grids of the largest kind
    const size_t largest = *std::max_element(gridBytes.begin() + 1, gridBytes.end());
    const size_t others = static_cast<size_t>(count) - 1;
    const size_t fixed =
        CV_AM_PACKED_HEADER + static_cast<size_t>(count) * (CV_AM_PACKED_PARENT + CV_AM_PACKED_BASE);
    if (gridBytes[0] > size - fixed || (others > 0 && largest > (size - fixed - gridBytes[0]) / others))
        return size;
    return fixed + gridBytes[0] + others * largest;
}

void CvAssociativeMemory::WritePackedData(void* buffer)
{
    if (!buffer) {
        CV_REPORT(CV_StsNullPtr, CV_AM_WRITE_PACKED_FUNC, CV_AM_NULL_PACKED_MSG);
        return;
    }
    if (!root) {
        CV_REPORT(CV_StsNullPtr, CV_AM_WRITE_PACKED_FUNC, CV_AM_NOT_CREATED_MSG);
        return;
    }
    unsigned char* p = static_cast<unsigned char*>(buffer);
    const CvAMContext& c = context;
    PutU32(p + CV_AM_PACKED_WIDTH_AT, static_cast<uint32_t>(c.width));
    PutU32(p + CV_AM_PACKED_HEIGHT_AT, static_cast<uint32_t>(c.height));
    PutU32(p + CV_AM_PACKED_CHECK_AT, static_cast<uint32_t>(CV_AM_PACKED_CHECK));
    PutU32(p + CV_AM_PACKED_DATA_SIZE_AT, static_cast<uint32_t>(c.dataSize));
    PutU16(p + CV_AM_PACKED_DEEPEST_AT, static_cast<uint16_t>(c.deepestLevel));
    PutU16(p + CV_AM_PACKED_LEVELS_AT, static_cast<uint16_t>(c.levels));
    PutU32(p + CV_AM_PACKED_COUNT_AT, static_cast<uint32_t>(c.baseCount));
    PutU64(p + CV_AM_PACKED_INDEX_AT, c.baseIndex);
    PutU64(p + CV_AM_PACKED_ACCESSES_AT, c.accessCount);

    PackCursor cursor;
    cursor.parent = p + CV_AM_PACKED_HEADER;
    cursor.record = cursor.parent + CV_AM_PACKED_PARENT * static_cast<size_t>(c.baseCount);
    PackBase(root, 0, &cursor);
}

bool CvAssociativeMemory::ReadPackedData(const void* buffer, size_t size)
{
    if (!buffer) {
        CV_REPORT(CV_StsNullPtr, CV_AM_READ_PACKED_FUNC, CV_AM_NULL_PACKED_MSG);
        return false;
    }
    const unsigned char* data = static_cast<const unsigned char*>(buffer);
    std::vector<RecordPlan> plan;
    if (!PlanRecord(data, size, &plan)) {
        CV_REPORT(CV_StsUnmatchedSizes, CV_AM_READ_PACKED_FUNC, CV_AM_PACKED_MISMATCH_MSG);
        return false;
    }

    Create(static_cast<int32_t>(GetU32(data + CV_AM_PACKED_WIDTH_AT)),
           static_cast<int32_t>(GetU32(data + CV_AM_PACKED_HEIGHT_AT)),
           static_cast<int16_t>(GetU16(data + CV_AM_PACKED_LEVELS_AT)));
    context.baseIndex = GetU64(data + CV_AM_PACKED_INDEX_AT);
    context.accessCount = GetU64(data + CV_AM_PACKED_ACCESSES_AT);

    std::vector<CvAMBase*> bases(plan.size(), NULL);
    std::vector<int16_t> features;
    for (size_t i = 0; i < plan.size(); i++) {
        const unsigned char* record = data + plan[i].offset;
        const CvAMBaseHeader header = GetHeader(record);
        if (plan[i].parent < 0) {
            // The root keeps no features: its header alone is restored.
            static_cast<CvAMBaseHeader&>(*root) = header;
            bases[i] = root;
            continue;
        }
        // The stored values are little-endian and need not be aligned in the buffer.
        const size_t n = GetU32(record + CV_AM_PACKED_BYTES_AT) / 2;
        features.resize(n);
        for (size_t k = 0; k < n; k++)
            features[k] = static_cast<int16_t>(GetU16(record + CV_AM_PACKED_BASE + 2 * k));
        bases[i] = bases[static_cast<size_t>(plan[i].parent)]->CreateChild(NULL, cvRect(0, 0, 0, 0),
                                                                           features.data(), &header);
    }
    return true;
}
