#pragma once

#include <string>

// The file's bytes; empty when it cannot be opened or is empty.
std::string ReadWholeFile(const std::string& fileName);
