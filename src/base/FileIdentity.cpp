#include "base/FileIdentity.h"

#include "base/FileReplacement.h"

namespace fs = std::filesystem;

namespace {

fs::path Resolved(const fs::path& path) {
    std::error_code ec;
    // Absolute first: a relative name that does not exist would otherwise stay relative and never
    // equal the same file named absolutely.
    const fs::path followed = fs::absolute(FollowLinks(path), ec);
    fs::path resolved = fs::weakly_canonical(followed, ec);
    if (ec)
        resolved = followed.lexically_normal();
    return resolved;
}

} // namespace

bool IsSameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) {
        const bool same = fs::equivalent(a, b, ec);
        if (!ec)
            return same;
    }
    return Resolved(a) == Resolved(b);
}

std::optional<std::string> FileInTwoRoles(std::span<const FileInRole> files) {
    for (std::size_t i = 0; i < files.size(); ++i)
        for (std::size_t j = i + 1; j < files.size(); ++j)
            if (!files[i].path.empty() && !files[j].path.empty() && IsSameFile(files[i].path, files[j].path))
                return "'" + files[j].path.string() + "' is both the " + files[i].role + " and the " +
                       files[j].role;
    return std::nullopt;
}
