// Files of the feed tests: the documents kept beside them (tests/feeds/...) and temporary files
// for tools that read from a path.
#pragma once
#include <string>
#include <vector>

// The path of a file under tests/feeds, e.g. "bombs/utf16.xml".
std::string TestFilePath(const std::string& relative);
// Its bytes; an empty string when it cannot be read (the test then fails on what it expects).
std::string ReadTestFile(const std::string& relative);
// The names of the files of a folder under tests/feeds, sorted.
std::vector<std::string> TestFolderFiles(const std::string& relative);

// A file in the temporary folder holding the bytes given, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::string& bytes);
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
