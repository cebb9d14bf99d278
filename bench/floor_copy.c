/* The physical floor of an installer's run on this machine: what its work
 * costs natively, with nothing of Windows or Wine. It reads the setup's file
 * once, hashes all of it with SHA-256 (OpenSSL's, with the processor's SHA
 * instructions where it has them) and, from the same pass, copies the
 * package's bytes to a new file, which it flushes to disk (fsync) before it
 * renames it into place: the check and the write that the setup does, done
 * once each with no more I/O than they need.
 *
 *   floor_copy SETUP PACKAGE_OFFSET PACKAGE_SIZE TARGET
 * exits 0 when all went well; prints the digest to stdout.
 *
 * For an encoded package the floor is the decoded file's: given that file
 * with offset 0 and its own size (floor_copy NEW 0 SIZE TARGET), it reads,
 * hashes, writes and flushes the decoded bytes once each, what any installer
 * of them must do however it carried them (bench/run_encoded.sh). */
#define _GNU_SOURCE
#include <fcntl.h>
#include <openssl/evp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kPiece = 1 << 20 };

static int write_all(int fd, const unsigned char* data, size_t size) {
  while (size > 0) {
    const ssize_t done = write(fd, data, size);
    if (done <= 0) return 0;
    data += done;
    size -= (size_t)done;
  }
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: %s SETUP PACKAGE_OFFSET PACKAGE_SIZE TARGET\n", argv[0]);
    return 2;
  }
  const long long offset = atoll(argv[2]), size = atoll(argv[3]);
  const int in = open(argv[1], O_RDONLY);
  if (in < 0) return 1;
  char staging[4096];
  snprintf(staging, sizeof staging, "%s.floor-tmp", argv[4]);
  const int out = open(staging, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) return 1;
  unsigned char* piece = malloc(kPiece);
  EVP_MD_CTX* hash = EVP_MD_CTX_new();
  if (!piece || !hash || EVP_DigestInit_ex(hash, EVP_sha256(), NULL) != 1) return 1;
  long long position = 0;
  for (;;) {
    const ssize_t got = read(in, piece, kPiece);
    if (got < 0) return 1;
    if (got == 0) break;
    EVP_DigestUpdate(hash, piece, (size_t)got);
    /* The part of this piece that belongs to the package. */
    long long from = position > offset ? position : offset;
    long long to = position + got < offset + size ? position + got : offset + size;
    if (to > from && !write_all(out, piece + (from - position), (size_t)(to - from))) return 1;
    position += got;
  }
  unsigned char digest[32];
  unsigned int length = 0;
  EVP_DigestFinal_ex(hash, digest, &length);
  if (fsync(out) != 0 || close(out) != 0 || rename(staging, argv[4]) != 0) return 1;
  for (unsigned int i = 0; i < length; ++i) printf("%02x", digest[i]);
  printf("\n");
  EVP_MD_CTX_free(hash);
  free(piece);
  close(in);
  return position >= offset + size ? 0 : 1;
}
