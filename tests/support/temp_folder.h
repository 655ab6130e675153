#pragma once

#include <filesystem>
#include <string>

namespace tessapak::testing {

// A fresh folder under the system's temporary folder, removed with everything
// in it at the end, folders a test left unreadable included.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const {
        return path_ / relative;
    }
    // Creates the folder path()/name and returns it.
    std::filesystem::path subfolder(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

}  // namespace tessapak::testing
