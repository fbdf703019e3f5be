#include "publish/MqttPassword.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

PasswordLookup LookUpPassword(const MqttOptions& options) {
    if (!options.passwordFile.empty()) {
        const std::string& file = options.passwordFile;
        struct stat status {};
        if (::stat(file.c_str(), &status) != 0)
            return {std::nullopt, "password file \"" + file + "\" cannot be read: " + std::strerror(errno)};
        if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0)
            return {std::nullopt,
                    "password file \"" + file + "\" may be read by others; allow only its owner (chmod 600)"};
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (!in)
            return {std::nullopt, "password file \"" + file + "\" cannot be read"};
        std::string password = text.str();
        // The line end an editor adds is not part of the password.
        while (!password.empty() && (password.back() == '\n' || password.back() == '\r'))
            password.pop_back();
        return {password, ""};
    }
    if (!options.passwordEnv.empty()) {
        const char* value = std::getenv(options.passwordEnv.c_str());
        if (!value)
            return {std::nullopt, "environment variable " + options.passwordEnv + " holds no password"};
        return {std::string(value), ""};
    }
    return {std::nullopt, ""};
}
