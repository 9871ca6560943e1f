#include "app/AssetLocations.h"

#include "app/Log.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace hm {
namespace {

// Characters two paths share, compared from their last characters backwards.
std::size_t sharedTailLength(std::string_view a, std::string_view b) {
    std::size_t n = 0;
    const std::size_t limit = std::min(a.size(), b.size());
    while (n < limit && a[a.size() - 1 - n] == b[b.size() - 1 - n])
        ++n;
    return n;
}

bool pathExists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

} // namespace

std::string toForwardSlashes(std::string_view path) {
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

AssetLocator::AssetLocator(std::string root) : root_(toForwardSlashes(root)) {}

void AssetLocator::invalidate() {
    built_ = false;
    files_.clear();
    folders_.clear();
}

void AssetLocator::buildIndex() {
    built_ = true;
    files_.clear();
    folders_.clear();
    // A missing or unreadable folder leaves the index empty: lookups by name then fail with
    // their own log line instead of taking the caller down with a file-system exception.
    std::error_code ec;
    auto it = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        const auto status = it->status(typeError);
        if (typeError)
            continue;
        const fs::path& path = it->path();
        if (fs::is_regular_file(status))
            files_[path.filename().string()].push_back(path.generic_string());
        else if (fs::is_directory(status))
            folders_[path.filename().string()].push_back(path.generic_string());
    }
    if (ec)
        spdlog::error("The asset folder {0} couldn't be indexed: {1}", root_, ec.message());
}

const AssetLocator::Index& AssetLocator::index(AssetIndexKind kind) {
    if (!built_)
        buildIndex();
    return kind == AssetIndexKind::Files ? files_ : folders_;
}

std::string AssetLocator::find(std::string_view location, std::string_view base, AssetIndexKind kind) {
    const Index& names = index(kind);

    std::string requested = toForwardSlashes(location);
    // "sky/" names the folder "sky"; without this the last component would be empty.
    while (requested.size() > 1 && requested.back() == '/')
        requested.pop_back();
    const fs::path basePath(toForwardSlashes(base));

    fs::path candidate;
    if (!requested.empty()) {
        const fs::path joined = basePath / requested;
        if (pathExists(requested)) {
            candidate = requested;
        } else if (pathExists(joined)) {
            candidate = joined;
        } else if (auto entry = names.find(joined.filename().string()); entry != names.end()) {
            const std::string wanted = joined.generic_string();
            std::size_t best = 0;
            const std::string* bestPath = nullptr;
            for (const std::string& path : entry->second) {
                const std::size_t shared = sharedTailLength(path, wanted);
                if (!bestPath || shared > best) {
                    best = shared;
                    bestPath = &path;
                }
            }
            if (bestPath)
                candidate = *bestPath;
        }
    }

    if (candidate.empty()) {
        spdlog::error("I couldn't find an asset file for the given location {0}.", std::string(location));
        return {};
    }

    std::error_code candidateError, baseError;
    const fs::path canonicalCandidate = fs::canonical(candidate, candidateError);
    const fs::path canonicalBase = fs::canonical(basePath, baseError);
    if (candidateError || baseError) {
        spdlog::error("The file {0} doesn't seem to be inside the base-folder. That's an issue!",
                      candidate.generic_string());
        return {};
    }
    return canonicalCandidate.lexically_relative(canonicalBase).generic_string();
}

AssetLocator& textureLocator() {
    static AssetLocator locator(kTexturesFolder);
    return locator;
}

std::string findAsset(std::string_view location, std::string_view base, AssetIndexKind kind) {
    return textureLocator().find(location, base, kind);
}

} // namespace hm
