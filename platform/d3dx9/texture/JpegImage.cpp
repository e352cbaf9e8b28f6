#include "JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>

#include "Pixels.h"

namespace d3dx {

namespace {

// More scans than this is a file made to keep the decoder busy: real
// progressive files have about ten, and each scan passes over the whole
// picture again.
constexpr int kMaxScans = 500;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }

// Warnings (a damaged or short entropy-coded stream) are not reported: the
// picture decodes as far as it goes.
void OnMessage(j_common_ptr, int) {}

void OnProgress(j_common_ptr cinfo) {
  const auto* decoder = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (decoder->input_scan_number > kMaxScans) OnError(cinfo);
}

// c * k / 255 rounded, as Adobe's CMYK (inverted, as such files store it)
// becomes RGB.
uint8_t Blend(unsigned c, unsigned k) {
  const unsigned t = c * k + 128;
  return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

// The decode proper: no object with a destructor lives here, since an error
// leaves through longjmp.
bool Decode(const uint8_t* data, size_t size, const ImageHeader& header, uint8_t* pixels, int* channels) {
  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  jpeg_progress_mgr progress;
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = OnError;
  errors.pub.emit_message = OnMessage;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = static_cast<long>(kMaxWorkingBytes);
  progress.progress_monitor = OnProgress;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.image_width != header.width ||
      cinfo.image_height != header.height) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  const bool cmyk = cinfo.num_components == 4;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  jpeg_start_decompress(&cinfo);
  const size_t rowBytes = static_cast<size_t>(header.width) * 4;
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels + static_cast<size_t>(cinfo.output_scanline) * rowBytes;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  *channels = cinfo.num_components == 1 ? 1 : 3;
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  if (cmyk) {
    for (size_t i = 0; i < rowBytes * header.height; i += 4) {
      uint8_t* p = pixels + i;
      const unsigned k = p[3];
      p[0] = Blend(p[0], k);
      p[1] = Blend(p[1], k);
      p[2] = Blend(p[2], k);
      p[3] = 255;
    }
  }
  return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, const ImageHeader& header, Rgba8Image* out, int* channels) {
  if (data == nullptr || header.kind != ImageKind::Jpeg || header.width == 0 || header.height == 0) return false;
  Rgba8Image image;
  image.width = header.width;
  image.height = header.height;
  try {
    image.pixels = ByteBuffer(static_cast<size_t>(header.width) * header.height * 4);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!Decode(data, size, header, image.pixels.data(), channels)) return false;
  *out = std::move(image);
  return true;
}

}  // namespace d3dx
