// A fresh folder for a unit test, made current while the test runs and removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class ScratchFolder {
public:
    ScratchFolder() {
        static int count = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("frtools-unit-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 std::to_string(++count) + "-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
        path_ = std::filesystem::current_path();  // as the system spells it
    }
    ~ScratchFolder() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::all, ignored);
        for (auto& entry : std::filesystem::recursive_directory_iterator(
                 path_, std::filesystem::directory_options::skip_permission_denied, ignored)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& relative) const { return (path_ / relative).string(); }

    // Writes `bytes` to `relative`, making its folders.
    void write(const std::string& relative, const std::vector<unsigned char>& bytes = {}) const {
        const auto target = path_ / relative;
        std::filesystem::create_directories(target.parent_path());
        std::ofstream out(target, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    std::vector<unsigned char> read(const std::string& relative) const {
        std::ifstream in(path_ / relative, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};
