// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace ZivTest {

class TempDirectory {
public:
    TempDirectory()
    {
        // create_directory makes a directory only where none was, so a
        // random name that it makes is this object's alone.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && d_path.empty(); ++attempt) {
            const std::filesystem::path candidate =
                std::filesystem::temp_directory_path() / ("ziv-test-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error))
                d_path = candidate.string();
        }
        if (d_path.empty())
            throw std::runtime_error("cannot create a temporary directory");
    }
    ~TempDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(d_path, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& path() const { return d_path; }
    // The path with a trailing separator, as a logger directory is given.
    std::string prefix() const { return d_path + "/"; }

private:
    std::string d_path;
};

} // namespace ZivTest
