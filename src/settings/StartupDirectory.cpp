#include "settings/StartupDirectory.h"

const std::filesystem::path& StartupDirectory() {
    static const std::filesystem::path directory = std::filesystem::current_path();
    return directory;
}
