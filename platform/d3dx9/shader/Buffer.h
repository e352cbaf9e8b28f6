// ID3DXBuffer: DWORD-aligned bytes, as D3DXCreateBuffer and the compiler
// hand them out.
#pragma once

#include <d3dx9.h>

#include <cstddef>
#include <string>

namespace ostrevin {

extern const IID kIidD3DXBuffer;

// A buffer holding a copy of bytes (zeros when data is null).
HRESULT MakeBuffer(const void* data, size_t bytes, ID3DXBuffer** pp);
// A buffer holding text and its terminating zero.
HRESULT MakeTextBuffer(const std::string& text, ID3DXBuffer** pp);

}  // namespace ostrevin
