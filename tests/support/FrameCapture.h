// The layer's frame capture for the tests that look at presented pixels: a
// fresh folder the chosen frames go to as PNGs, and the frames read back.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/PngImage.h"

// Makes <temp>/<prefix><process id> afresh and has the layer capture the
// frames (numbers separated by commas) there. Each test runs in its own
// process, so this comes before the device first reads the switches.
inline std::filesystem::path StartCapture(const std::string& prefix, const std::string& frames) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  setenv("OSTREVIN_CAPTURE", dir.c_str(), 1);
  setenv("OSTREVIN_CAPTURE_FRAMES", frames.c_str(), 1);
  return dir;
}

// Frame n as captured into dir; a frame that does not read is a test failure.
inline Image CapturedFrame(const std::filesystem::path& dir, unsigned n) {
  Image img;
  char name[32];
  std::snprintf(name, sizeof(name), "frame-%05u.png", n);
  EXPECT_TRUE(ReadPng((dir / name).string(), &img)) << name;
  return img;
}
