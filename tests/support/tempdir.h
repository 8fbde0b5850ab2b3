#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace pw::test {

// A fresh folder under the system's temporary folder, removed with its content
// when the object goes.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pagewick-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_path = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

} // namespace pw::test
