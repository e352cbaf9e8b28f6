// The program's icon artwork: an orange three-part articulated arm on a dark
// rounded square. One procedural drawing shared by the Windows icon resource
// (tools/assetgen writes ostrevin.ico from it) and the Linux window icon
// (platform/win32 draws it at run time), so both systems show the same image.
#pragma once

#include <stdint.h>

// Draws the icon at size x size pixels into rgba (size * size * 4 bytes,
// rows top to bottom, bytes R, G, B, A, straight alpha). Deterministic.
void DrawOstrevinIcon(int size, uint8_t* rgba);
