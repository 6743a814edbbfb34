// The segments in front of a JPEG's first scan, checked before libjpeg sees
// them. An application segment (APPn, such as EXIF) or a comment is not part
// of the picture, but a wrong length in one makes libjpeg read its contents
// as markers (an EXIF thumbnail's start of image, its tables) and refuse the
// file. A segment whose length does not lead to the next segment is cut out
// up to the next run of segments that leads to the first scan; the
// thumbnail of an EXIF block, a whole JPEG of its own, is passed over. A
// file that ends without its end marker gets one.
#include <algorithm>
#include <utility>

#include "ImageReaders.h"

namespace corona::detail {

namespace {

constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;

size_t be16(const uint8_t* p)
{
    return size_t(p[0]) << 8 | p[1];
}

bool isAncillary(uint8_t marker)
{
    return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
}

// Markers of the segments that may stand between the start of the image
// and the first scan, each with a length: frames, tables, restart interval,
// application segments, comments and the rarer extensions.
bool isHeaderSegment(uint8_t marker)
{
    if (marker >= 0xC0 && marker <= 0xCF)
        return marker != 0xC8;
    return marker == 0xDB || marker == 0xDC || marker == 0xDD || marker == 0xDE || marker == 0xDF ||
           (marker >= 0xE0 && marker <= 0xFE);
}

// Where a segment that fits in the file starts at at (after fill bytes): a
// header segment or the start of the scan. 0 for none.
size_t segmentStart(const uint8_t* data, size_t size, size_t at)
{
    while (at + 1 < size && data[at] == 0xFF && data[at + 1] == 0xFF)
        ++at;
    if (at + 4 > size || data[at] != 0xFF)
        return 0;
    const uint8_t marker = data[at + 1];
    const size_t length = be16(data + at + 2);
    if (marker == kStartOfScan)
        return length >= 8 && at + 2 + length <= size ? at : 0;
    return isHeaderSegment(marker) && length >= 2 && at + 2 + length <= size ? at : 0;
}

// Whether the segments can go on from at: a segment starts there and, unless
// it is the scan, another one right after it.
bool goesOn(const uint8_t* data, size_t size, size_t at)
{
    at = segmentStart(data, size, at);
    if (at == 0)
        return false;
    return data[at + 1] == kStartOfScan || segmentStart(data, size, at + 2 + be16(data + at + 2)) != 0;
}

// Where the segments resume after a damaged one that starts at from: the
// first place where they go on. A whole JPEG inside (a thumbnail) is passed
// over to its end, since its segments go on too.
size_t resumeAfter(const uint8_t* data, size_t size, size_t from, bool passOverImages = true)
{
    for (size_t q = from; q + 1 < size; ++q) {
        if (data[q] != 0xFF)
            continue;
        if (passOverImages && data[q + 1] == kStartOfImage) {
            const uint8_t end[2] = {0xFF, kEndOfImage};
            const uint8_t* found = std::search(data + q + 2, data + size, end, end + 2);
            if (found == data + size)
                break;
            q = size_t(found - data) + 1;
            continue;
        }
        if (goesOn(data, size, q))
            return q;
    }
    // A start of image without its own end (a damaged thumbnail) is taken
    // for bytes like any other.
    return passOverImages ? resumeAfter(data, size, from, false) : 0;
}

// A copy of the file without the application segments and comments whose
// lengths do not lead to the next segment; false when it has none.
bool repairSegments(const uint8_t* data, size_t size, std::vector<uint8_t>& repaired)
{
    std::vector<uint8_t> out;
    size_t copied = 0; // bytes of data up to here are in out or cut
    size_t at = 2;
    while (at + 4 <= size && data[at] == 0xFF) {
        while (at + 4 <= size && data[at + 1] == 0xFF)
            ++at;
        if (at + 4 > size)
            break;
        const uint8_t marker = data[at + 1];
        const size_t length = be16(data + at + 2);
        if (marker == kStartOfScan || !isHeaderSegment(marker))
            break;
        const size_t next = at + 2 + length;
        if (!isAncillary(marker) || (length >= 2 && segmentStart(data, size, next) != 0)) {
            at = next;
            continue;
        }
        const size_t resume = resumeAfter(data, size, at + 4);
        if (resume == 0)
            break;
        out.insert(out.end(), data + copied, data + at);
        copied = resume;
        at = resume;
    }
    if (copied == 0)
        return false;
    out.insert(out.end(), data + copied, data + size);
    repaired = std::move(out);
    return true;
}

} // namespace

bool mendJpeg(const uint8_t*& data, size_t& size, std::vector<uint8_t>& mended, bool addEnd)
{
    if (repairSegments(data, size, mended)) {
        data = mended.data();
        size = mended.size();
    }
    if (!addEnd || (size >= 2 && data[size - 2] == 0xFF && data[size - 1] == kEndOfImage))
        return false;
    if (mended.empty())
        mended.assign(data, data + size);
    mended.insert(mended.end(), {0xFF, kEndOfImage});
    data = mended.data();
    size = mended.size();
    return true;
}

} // namespace corona::detail
