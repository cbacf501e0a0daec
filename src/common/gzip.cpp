#include "common/gzip.h"

#include <zlib.h>

namespace vidralo {

std::string gzipped(std::string_view bytes) {
  z_stream stream{};
  // 16 + 15: a gzip wrapper around a full-window deflate stream.
  deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  // Packed in pieces, so the output holds about what it needs rather than a
  // bound the size of the input.
  std::string out;
  char piece[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(piece);
    stream.avail_out = sizeof piece;
    result = deflate(&stream, Z_FINISH);
    out.append(piece, sizeof piece - stream.avail_out);
  }
  deflateEnd(&stream);
  return out;
}

}  // namespace vidralo
