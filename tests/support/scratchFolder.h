#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// A folder of its own under the temporary directory for the files one test
// makes, removed with everything in it when the object goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix = "stompathon-test") {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        folder = mkdtemp(&pattern[0]) != nullptr ? pattern : "";
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!folder.empty()) {
            std::filesystem::remove_all(folder, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return folder; }     // "" when it could not be made
    std::string file(const std::string& name) const { return folder + "/" + name; }

private:
    std::string folder;
};

// The whole file, "" when there is none.
inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
