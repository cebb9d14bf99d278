#ifndef VESPODAR_BASE_FILE_PIECES_H_
#define VESPODAR_BASE_FILE_PIECES_H_

// A range of a file taken a piece at a time: the setup's own file is mostly
// its package, hundreds of megabytes for some content files, and neither the
// own-file check nor the write may hold more of it than one piece.

#include <cstddef>
#include <cstdint>

#include "base/function_ref.h"

namespace vespodar {

// What one read takes: large enough that a read costs little beside the bytes
// it moves (under Wine every read and write is a trip through its file layer:
// a 256 MiB package is 256 of them each way), small enough that the
// process's memory does not grow with the package.
constexpr std::size_t kFilePieceBytes = 1024 * 1024;

// Reads COUNT bytes at OFFSET into OUT; false unless every byte came.
using ReadBytes = FunctionRef<bool(std::size_t offset, std::size_t count, std::uint8_t* out)>;
// Takes the next COUNT bytes of the range; false stops the walk.
using TakeBytes = FunctionRef<bool(const std::uint8_t* data, std::size_t count)>;

// Reads [offset, offset + size) in order, in pieces of at most BUFFER_SIZE
// bytes into BUFFER, and hands each piece to TAKE. False as soon as a read or
// a take fails; an empty range reads nothing and succeeds.
bool ForEachPiece(std::size_t offset, std::size_t size, std::uint8_t* buffer,
                  std::size_t bufferSize, const ReadBytes& read, const TakeBytes& take);

}  // namespace vespodar

#endif  // VESPODAR_BASE_FILE_PIECES_H_
