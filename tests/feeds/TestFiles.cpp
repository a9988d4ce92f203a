#include "TestFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

std::string TestFilePath(const std::string& relative)
{
    return std::string(LULLCAST_FEEDS_TEST_DATA) + "/" + relative;
}

std::string ReadTestFile(const std::string& relative)
{
    std::ifstream file(TestFilePath(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> TestFolderFiles(const std::string& relative)
{
    std::vector<std::string> names;
    if (DIR* folder = ::opendir(TestFilePath(relative).c_str())) {
        while (const dirent* entry = ::readdir(folder)) {
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        }
        ::closedir(folder);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TempFile::TempFile(const std::string& bytes)
{
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/lullcast-feed-XXXXXX";
    const int descriptor = ::mkstemp(&pattern[0]);
    if (descriptor < 0)
        throw std::runtime_error("cannot make a temporary file");
    m_path = pattern;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written <= 0)
            break;
        done += static_cast<size_t>(written);
    }
    ::close(descriptor);
}

TempFile::~TempFile()
{
    std::remove(m_path.c_str());
}
