#include "import/ModelLimits.h"

#include "app/Log.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace hm {

namespace {

constexpr char kBinaryMagic[] = "Kaydara FBX Binary  ";
constexpr std::size_t kBinaryHeaderSize = 27;
constexpr std::uint64_t kDeflateRatio = 1032; // the most zlib can unpack from one byte
constexpr int kMaxDepth = 64;

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
            const std::uint64_t nestedAt = propertiesAt + propertyBytes;
            if (nestedAt < recordEnd && !records(nestedAt, recordEnd, depth + 1, false))
                return false;
            at = recordEnd;
        }
        return true;
    }

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
            case 'b': {
                size = type == 'b' ? 1 : type == 'f' || type == 'i' ? 4 : 8;
                std::uint32_t header[3] = {0, 0, 0}; // element count, encoding, stored bytes
                if (!read(at, end, header, sizeof header))
                    return refuse("an array header is cut off", at);
                const std::uint64_t unpacked = std::uint64_t(header[0]) * size;
                const std::uint64_t stored = header[2];
                if (header[1] == 0 && unpacked != stored)
                    return refuse("an array's size does not match its element count", at);
                if (header[1] != 0 && unpacked > stored * kDeflateRatio + 64)
                    return refuse("a compressed array claims " + std::to_string(header[0]) +
                                      " elements, more than its " + std::to_string(stored) +
                                      " bytes can hold",
                                  at);
                total_ += unpacked;
                if (total_ > kMaxModelArrayBytes)
                    return refuse("the arrays unpack to more than " +
                                      std::to_string(kMaxModelArrayBytes >> 20) + " MB",
                                  at);
                size = sizeof header + stored;
                break;
            }
            default:
                return refuse(std::string("unknown property type ") + std::to_string(int(type)), at - 1);
            }
            if (end - at < size)
                return refuse("a property reaches past its record", at);
            at += size;
        }
        return true;
    }

    const std::vector<std::uint8_t>& bytes_;
    const std::string& path_;
    bool wide_ = false;
    std::uint64_t total_ = 0;
};

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
        std::memcmp(bytes.data(), kBinaryMagic, sizeof kBinaryMagic - 1) == 0)
        return BinaryScan(bytes, path).run();
    return checkAsciiCounts(bytes, path);
}

} // namespace hm
