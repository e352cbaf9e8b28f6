// The program's icon artwork: an orange three-part articulated arm on a dark
// rounded square. One procedural drawing for the Windows icon resource
// (ostrevin.ico) and the image the program's Linux resource table carries,
// so both systems show the same icon.
#pragma once

#include <stdint.h>

// Draws the icon at size x size pixels into rgba (size * size * 4 bytes,
// rows top to bottom, bytes R, G, B, A, straight alpha). Deterministic.
void DrawOstrevinIcon(int size, uint8_t* rgba);
