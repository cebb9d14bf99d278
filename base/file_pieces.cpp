#include "base/file_pieces.h"

namespace vespodar {

bool ForEachPiece(std::size_t offset, std::size_t size, std::uint8_t* buffer,
                  std::size_t bufferSize, const ReadBytes& read, const TakeBytes& take) {
  while (size > 0) {
    const std::size_t count = size < bufferSize ? size : bufferSize;
    if (!read(offset, count, buffer) || !take(buffer, count)) return false;
    offset += count;
    size -= count;
  }
  return true;
}

}  // namespace vespodar
