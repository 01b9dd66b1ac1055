// Whole-file reading and writing for the Win32 tests and the drivers they
// use (the modem simulator's), independent of the code under test.
#pragma once
#include <string>
#include <vector>

void WriteFileText(const std::string& path, const std::string& text);
// The file's bytes; empty when it cannot be opened. Reads while others write
// or delete it.
std::string ReadFileText(const std::string& path);
bool PathExists(const std::string& path);
// The names of the files (not directories) that match `pattern`, sorted.
std::vector<std::string> FilesIn(const std::string& pattern);
// Removes a tree without following links (test cleanup).
void RemoveTree(const std::string& path);
