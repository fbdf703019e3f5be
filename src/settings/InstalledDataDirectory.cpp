#include "settings/InstalledDataDirectory.h"

#include <system_error>

namespace fs = std::filesystem;

fs::path InstalledDataDirectory(const fs::path& executable) {
    return executable.parent_path().parent_path() / "share" / "nivaro";
}

fs::path InstalledDataDirectory() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : InstalledDataDirectory(executable);
}
