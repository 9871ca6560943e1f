#include "import/ModelLimits.h"

#include "app/Log.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unordered_map>
#include <utility>
#include <vector>

namespace hm {

namespace {

constexpr char kBinaryMagic[] = "Kaydara FBX Binary  ";
constexpr std::size_t kBinaryHeaderSize = 27;
constexpr std::uint64_t kDeflateRatio = 1032; // the most zlib can unpack from one byte
constexpr int kMaxDepth = 64;

// Object links of the file ("C" records: the child's id, then its parent's id).
using Links = std::vector<std::pair<std::int64_t, std::int64_t>>;

// The parser follows the links recursively: a loop, or a chain of objects deeper than
// kMaxModelHierarchyDepth, would run it out of stack. Objects are taken from the leaves up
// (those that are nobody's parent first); what is left at the end lies on a loop.
bool checkLinks(const Links& links, const std::string& path) {
    std::unordered_map<std::int64_t, std::size_t> childrenLeft;
    std::unordered_map<std::int64_t, std::vector<std::int64_t>> parentsOf;
    for (const auto& [child, parent] : links) {
        ++childrenLeft[parent];
        childrenLeft.try_emplace(child, 0);
        parentsOf[child].push_back(parent);
    }
    std::unordered_map<std::int64_t, std::size_t> height; // the longest chain of links below
    std::vector<std::int64_t> ready;
    for (const auto& [id, count] : childrenLeft)
        if (count == 0)
            ready.push_back(id);
    std::size_t taken = 0;
    while (!ready.empty()) {
        const std::int64_t id = ready.back();
        ready.pop_back();
        ++taken;
        const std::size_t below = height[id];
        if (below > kMaxModelHierarchyDepth) {
            spdlog::error(
                "The model file {0} is refused before parsing: its objects are linked more than {1} "
                "deep.",
                path, kMaxModelHierarchyDepth);
            return false;
        }
        for (const std::int64_t parent : parentsOf[id]) {
            height[parent] = std::max(height[parent], below + 1);
            if (--childrenLeft[parent] == 0)
                ready.push_back(parent);
        }
    }
    if (taken < childrenLeft.size()) {
        spdlog::error("The model file {0} is refused before parsing: its objects are linked in a loop.",
                      path);
        return false;
    }
    return true;
}

class BinaryScan {
public:
    BinaryScan(const std::vector<std::uint8_t>& bytes, const std::string& path)
        : bytes_(bytes), path_(path) {}

    bool run() {
        std::uint32_t version = 0;
        std::memcpy(&version, bytes_.data() + 23, 4);
        wide_ = version >= 7500;
        return records(kBinaryHeaderSize, bytes_.size(), 0, true);
    }

private:
    bool refuse(const std::string& why, std::uint64_t at) const {
        spdlog::error("The model file {0} is refused before parsing: {1} (at byte {2}).", path_, why, at);
        return false;
    }

    bool read(std::uint64_t at, std::uint64_t end, void* out, std::size_t size) const {
        if (at > end || end - at < size)
            return false;
        std::memcpy(out, bytes_.data() + at, size);
        return true;
    }

    bool readOffset(std::uint64_t at, std::uint64_t end, std::uint64_t& out) const {
        if (wide_)
            return read(at, end, &out, 8);
        std::uint32_t narrow = 0;
        if (!read(at, end, &narrow, 4))
            return false;
        out = narrow;
        return true;
    }

    // The records between at and end. The top level may end early (a footer follows the last
    // record); nested lists end with a record of zeros.
    bool records(std::uint64_t at, std::uint64_t end, int depth, bool topLevel) {
        if (depth > kMaxDepth)
            return refuse("records nested deeper than " + std::to_string(kMaxDepth), at);
        const std::uint64_t headerSize = wide_ ? 25 : 13;
        while (at < end) {
            std::uint64_t recordEnd = 0, propertyCount = 0, propertyBytes = 0;
            std::uint8_t nameLength = 0;
            if (!readOffset(at, end, recordEnd) || !readOffset(at + headerSize / 3, end, propertyCount) ||
                !readOffset(at + 2 * (headerSize / 3), end, propertyBytes) ||
                !read(at + headerSize - 1, end, &nameLength, 1))
                return topLevel ? true : refuse("a record header is cut off", at);
            if (recordEnd == 0)
                return true; // the end-of-list record
            if (recordEnd <= at || recordEnd > end)
                return refuse("a record ends outside its parent", at);
            const std::uint64_t propertiesAt = at + headerSize + nameLength;
            if (propertiesAt > recordEnd || recordEnd - propertiesAt < propertyBytes)
                return refuse("a record's properties reach past the record", at);
            if (!properties(propertiesAt, propertiesAt + propertyBytes, propertyCount))
                return false;
            if (nameLength == 1 && bytes_[at + headerSize] == 'C')
                readLink(propertiesAt, propertiesAt + propertyBytes);
            const std::uint64_t nestedAt = propertiesAt + propertyBytes;
            if (nestedAt < recordEnd && !records(nestedAt, recordEnd, depth + 1, false))
                return false;
            at = recordEnd;
        }
        return true;
    }

    // The properties of one record. Each is judged by its type code: the scalars Y (int16),
    // C (bool or char), I (int32), F (float32), D (float64) and L (int64); the arrays f, d, l, i,
    // b and c (float32, float64, int64, int32, bool and byte elements) with their header of
    // element count, encoding (0 plain, 1 zlib) and stored bytes; S (string) and R (raw data)
    // with a 32-bit length. A type code it does not know, or an array encoding other than plain
    // and zlib, says nothing about the size of what follows: the rest of the record's properties
    // are then left to the parser (which refuses what it cannot read before allocating
    // anything), and the scan goes on with the record's children.
    bool properties(std::uint64_t at, std::uint64_t end, std::uint64_t count) {
        // Every property takes at least its type byte.
        if (count > end - at)
            return refuse("more properties than bytes", at);
        for (std::uint64_t i = 0; i < count; ++i) {
            char type = 0;
            if (!read(at, end, &type, 1))
                return refuse("a property is cut off", at);
            ++at;
            std::uint64_t size = 0;
            switch (type) {
            case 'C':
                size = 1;
                break;
            case 'Y':
                size = 2;
                break;
            case 'I':
            case 'F':
                size = 4;
                break;
            case 'D':
            case 'L':
                size = 8;
                break;
            case 'S':
            case 'R': {
                std::uint32_t length = 0;
                if (!read(at, end, &length, 4))
                    return refuse("a property is cut off", at);
                size = 4ull + length;
                break;
            }
            case 'f':
            case 'i':
            case 'd':
            case 'l':
            case 'b':
            case 'c': {
                std::uint32_t header[3] = {0, 0, 0}; // element count, encoding, stored bytes
                if (!read(at, end, header, sizeof header))
                    return refuse("an array header is cut off", at);
                if (!array(type, header[0], header[1], header[2], at))
                    return false;
                size = sizeof header + std::uint64_t(header[2]);
                break;
            }
            default:
                spdlog::debug("The model check leaves a property of unknown type {0} in {1} (at byte {2}) "
                              "to the parser.",
                              int(type), path_, at - 1);
                return true;
            }
            if (end - at < size)
                return refuse("a property reaches past its record", at);
            at += size;
        }
        return true;
    }

    // An array's element count against its stored bytes, and the running total of what all
    // arrays unpack to.
    bool array(char type, std::uint32_t count, std::uint32_t encoding, std::uint32_t stored,
               std::uint64_t at) {
        const std::uint64_t elementSize = type == 'b' || type == 'c' ? 1 : type == 'f' || type == 'i' ? 4 : 8;
        const std::uint64_t unpacked = std::uint64_t(count) * elementSize;
        if (encoding == 0 && unpacked != stored)
            return refuse("an array's size does not match its element count", at);
        if (encoding == 1 && unpacked > std::uint64_t(stored) * kDeflateRatio + 64)
            return refuse("a compressed array claims " + std::to_string(count) + " elements, more than its " +
                              std::to_string(stored) + " bytes can hold",
                          at);
        if (encoding > 1)
            return true; // the parser refuses an encoding it does not know without unpacking it
        total_ += unpacked;
        if (total_ > kMaxModelArrayBytes)
            return refuse(
                "the arrays unpack to more than " + std::to_string(kMaxModelArrayBytes >> 20) + " MB", at);
        return true;
    }

    // A link record holds its kind as a string, then the child's and the parent's 64-bit ids
    // (files that name objects by string instead are not checked). The properties were checked
    // to lie inside the record already.
    void readLink(std::uint64_t at, std::uint64_t end) {
        std::uint32_t kindLength = 0;
        std::int64_t child = 0, parent = 0;
        if (at >= end || bytes_[at] != 'S' || !read(at + 1, end, &kindLength, 4))
            return;
        at += 5 + std::uint64_t(kindLength);
        if (at >= end || bytes_[at] != 'L' || !read(at + 1, end, &child, 8) || at + 9 >= end ||
            bytes_[at + 9] != 'L' || !read(at + 10, end, &parent, 8))
            return;
        links_.emplace_back(child, parent);
    }

public:
    const Links& links() const { return links_; }

private:
    const std::vector<std::uint8_t>& bytes_;
    const std::string& path_;
    bool wide_ = false;
    std::uint64_t total_ = 0;
    Links links_;
};

// ASCII links: the key C, then the kind in quotes, the child's id and the parent's id (a
// property name may follow). The parser splits tokens at white space and commas, not at line
// ends, so a link may sit anywhere; ids are read as it reads them (decimal digits, 0 when they
// overflow 64 bits).
Links asciiLinks(const std::vector<std::uint8_t>& bytes) {
    Links links;
    const std::size_t size = bytes.size();
    auto skipSpaces = [&](std::size_t& i) {
        while (i < size && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
            ++i;
    };
    auto readId = [&](std::size_t& i, std::int64_t& id) {
        skipSpaces(i);
        if (i >= size || bytes[i] < '0' || bytes[i] > '9')
            return false;
        std::uint64_t value = 0;
        bool overflow = false;
        for (; i < size && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
            const std::uint64_t next = value * 10 + std::uint64_t(bytes[i] - '0');
            overflow = overflow || value > (~std::uint64_t(0) - 9) / 10 || next < value;
            value = next;
        }
        id = overflow ? 0 : static_cast<std::int64_t>(value);
        return true;
    };
    auto isNamePart = [](std::uint8_t c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    };
    for (std::size_t at = 0; at + 1 < size; ++at) {
        if (bytes[at] != 'C' || bytes[at + 1] != ':' || (at > 0 && isNamePart(bytes[at - 1])))
            continue;
        std::size_t i = at + 2;
        skipSpaces(i);
        if (i >= size || bytes[i] != '"')
            continue;
        i = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(i + 1), bytes.end(), '"') - bytes.begin() +
            1;
        std::int64_t child = 0, parent = 0;
        skipSpaces(i);
        if (i >= size || bytes[i] != ',' || !readId(++i, child))
            continue;
        skipSpaces(i);
        if (i >= size || bytes[i] != ',' || !readId(++i, parent))
            continue;
        links.emplace_back(child, parent);
    }
    return links;
}

// ASCII FBX arrays start with "*N {": N elements need at least N bytes of text.
bool checkAsciiCounts(const std::vector<std::uint8_t>& bytes, const std::string& path) {
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (bytes[i] != '*' || bytes[i + 1] < '0' || bytes[i + 1] > '9')
            continue;
        std::uint64_t count = 0;
        std::size_t j = i + 1;
        while (j < bytes.size() && bytes[j] >= '0' && bytes[j] <= '9' && count <= bytes.size())
            count = count * 10 + (bytes[j++] - '0');
        if (count > bytes.size()) {
            while (j < bytes.size() && bytes[j] >= '0' && bytes[j] <= '9')
                ++j;
            spdlog::error(
                "The model file {0} is refused before parsing: an array count of {1} at byte {2} is "
                "larger than the file.",
                path, std::string(bytes.begin() + i + 1, bytes.begin() + j), i);
            return false;
        }
        i = j - 1;
    }
    return true;
}

} // namespace

bool checkModelLimits(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return true; // the parser names the missing file
    const std::streamoff size = file.tellg();
    if (size < 0)
        return true;
    if (static_cast<std::uint64_t>(size) > kMaxModelFileBytes) {
        spdlog::error(
            "The model file {0} is refused before parsing: {1} bytes, more than the {2} MB a model may "
            "have.",
            path, size, kMaxModelFileBytes >> 20);
        return false;
    }
    file.seekg(0);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size))
        return true;
    if (bytes.size() >= kBinaryHeaderSize &&
        std::memcmp(bytes.data(), kBinaryMagic, sizeof kBinaryMagic - 1) == 0) {
        BinaryScan scan(bytes, path);
        return scan.run() && checkLinks(scan.links(), path);
    }
    return checkAsciiCounts(bytes, path) && checkLinks(asciiLinks(bytes), path);
}

} // namespace hm
