#pragma once
// Small helpers shared by the tests of the text, template, generation and naming code: a
// temporary folder that cleans up after itself, and whole-file access that does not go through
// the code under test.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace qlm::test {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qlm-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        root_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        // Make every folder writable again so that a test that took permissions away cleans up too.
        for (auto it = std::filesystem::recursive_directory_iterator(root_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
            if (it->is_directory(ignored))
                ::chmod(it->path().c_str(), 0700);
        std::filesystem::remove_all(root_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with a trailing "/", as the program's current folder is held.
    std::string Path() const { return root_ + "/"; }
    std::string operator/(const std::string& name) const { return Path() + name; }

    void Put(const std::string& name, const std::string& bytes) const {
        std::ofstream out(Path() + name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + name);
    }
    std::string Get(const std::string& name) const {
        std::ifstream in(Path() + name, std::ios::binary);
        if (!in)
            return "<missing " + name + ">";
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Exists(const std::string& name) const {
        struct stat state {};
        return ::lstat((Path() + name).c_str(), &state) == 0;
    }
    // Every entry of the folder, sorted, so that stray temporary files show up in comparisons.
    std::string Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string joined;
        for (const auto& name : names)
            joined += (joined.empty() ? "" : "|") + name;
        return joined;
    }

  private:
    std::string root_;
};

} // namespace qlm::test
