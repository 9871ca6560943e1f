// Whole-file writes that never leave a half-written file under the real name.
#pragma once

#include <filesystem>
#include <string_view>

namespace hm {

// Writes `contents` to a temporary file in the same folder, flushes it to disk and renames it
// over `path`. False (with an error line naming the file) when any step fails; the temporary file
// is removed then and an existing file at `path` stays as it was. A symbolic link at `path` is
// kept and the file it points to replaced.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view contents);

} // namespace hm
