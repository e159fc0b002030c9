// Whole-file reads and writes for tests that check what a program wrote.
#ifndef RKTESTFILES_H
#define RKTESTFILES_H

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// The file's bytes; empty when it cannot be read.
inline std::string RKTestReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

inline void RKTestWriteFile(const std::filesystem::path& path, const std::string& strContent)
{
    std::ofstream file(path, std::ios::binary);
    file << strContent;
}

#endif
