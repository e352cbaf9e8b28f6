// ID3DXBuffer and D3DXCreateBuffer.
#include "shader/Buffer.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "ComObject.h"

namespace ostrevin {

const IID kIidD3DXBuffer = {0x8ba5fb08, 0x5195, 0x40e2, {0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02}};

namespace {

class Buffer final : public ComObject<ID3DXBuffer> {
 public:
  Buffer(std::vector<uint32_t>&& words, DWORD bytes) : m_words(std::move(words)), m_bytes(bytes) {}

  LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return m_words.data(); }
  DWORD STDMETHODCALLTYPE GetBufferSize() override { return m_bytes; }

 protected:
  bool Implements(REFIID riid) const override { return riid == kIidD3DXBuffer; }

 private:
  std::vector<uint32_t> m_words;  // DWORD aligned storage
  DWORD m_bytes;
};

}  // namespace

HRESULT MakeBuffer(const void* data, size_t bytes, ID3DXBuffer** pp) {
  *pp = nullptr;
  if (bytes > 0xFFFFFFF0u) return E_OUTOFMEMORY;
  std::vector<uint32_t> words;
  try {
    words.assign((bytes + 3) / 4 + 1, 0);  // one spare word: never an empty vector
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (data != nullptr && bytes > 0) std::memcpy(words.data(), data, bytes);
  Buffer* buffer = new (std::nothrow) Buffer(std::move(words), static_cast<DWORD>(bytes));
  if (buffer == nullptr) return E_OUTOFMEMORY;
  *pp = buffer;
  return S_OK;
}

HRESULT MakeTextBuffer(const std::string& text, ID3DXBuffer** pp) {
  return MakeBuffer(text.c_str(), text.size() + 1, pp);
}

}  // namespace ostrevin

HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
  if (ppBuffer == nullptr) return D3DERR_INVALIDCALL;
  return ostrevin::MakeBuffer(nullptr, NumBytes, ppBuffer);
}
