// A folder of a test's own under the temporary folder: made afresh (what an
// earlier run left in it removed first) and removed at the end with all it
// holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing {

class TempFolder {
public:
    explicit TempFolder(const std::string &name);
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    virtual ~TempFolder();

    const std::string &Path() const { return path; }
    // `relative` inside it.
    std::string At(const std::string &relative) const { return path + "\\" + relative; }
    // Makes a folder inside it (its parents must exist); its path.
    std::string MakeFolder(const std::string &relative) const;
    void Write(const std::string &relative, const std::vector<uint8_t> &bytes) const;
    // Copies a file into it; its path.
    std::string Copy(const std::string &from, const std::string &relative) const;

private:
    std::string path;
};

} // namespace testing
