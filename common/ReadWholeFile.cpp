#include "common/ReadWholeFile.h"

#include <fstream>
#include <iterator>

std::string ReadWholeFile(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::in | std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
