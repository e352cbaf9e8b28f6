// The generators of tools/assetgen. Each writes its files into `dir`
// (created when missing) and returns 0, or prints the reason and returns 1.
#pragma once

#include <string>

int GenerateIcons(const std::string& dir);    // ostrevin.ico (+ the 48x48 RGBA image, raw and as C source)
int GenerateTexture(const std::string& dir);  // panel-01-diff.dds
int GenerateModels(const std::string& dir);   // top/middle/bottom.GAMEMODEL
// <size>x<size>/apps/<name>.png for the hicolor icon theme
int GenerateHicolorIcons(const std::string& dir, const std::string& name);
