/* How much a 32-bit program can map at once, for the limits of a delta (two
 * views, the base and the new file) and of a compressed package:
 *
 *   address_space.exe DIR
 *
 * prints the largest free ranges of the process's address space, then the
 * largest pair of equal views (one read-only, one writable, of two files in
 * DIR, made and deleted here) that can be mapped together, in steps of
 * 16 MiB. Build it both ways to compare:
 *   i686-w64-mingw32-gcc -O2 -o address_space.exe bench/address_space.c
 *   i686-w64-mingw32-gcc -O2 -Wl,--large-address-aware -o address_space_laa.exe bench/address_space.c
 */
#include <windows.h>
#include <stdio.h>

static HANDLE make(const char* path, unsigned long long size) {
  HANDLE f = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                         FILE_FLAG_DELETE_ON_CLOSE, NULL);
  LARGE_INTEGER end;
  end.QuadPart = (LONGLONG)size;
  SetFilePointerEx(f, end, NULL, FILE_BEGIN);
  SetEndOfFile(f);
  return f;
}

static int map_pair(const char* a, const char* b, int mib) {
  HANDLE fa = make(a, (unsigned long long)mib << 20), fb = make(b, (unsigned long long)mib << 20);
  HANDLE ma = CreateFileMappingA(fa, NULL, PAGE_READONLY, 0, 0, NULL);
  HANDLE mb = CreateFileMappingA(fb, NULL, PAGE_READWRITE, 0, 0, NULL);
  void* va = ma ? MapViewOfFile(ma, FILE_MAP_READ, 0, 0, 0) : NULL;
  void* vb = mb ? MapViewOfFile(mb, FILE_MAP_WRITE, 0, 0, 0) : NULL;
  const int both = va && vb;
  if (va) UnmapViewOfFile(va);
  if (vb) UnmapViewOfFile(vb);
  if (ma) CloseHandle(ma);
  if (mb) CloseHandle(mb);
  CloseHandle(fa);
  CloseHandle(fb);
  return both;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: address_space.exe DIR\n");
    return 2;
  }
  SIZE_T largest[4] = {0};
  MEMORY_BASIC_INFORMATION info;
  for (unsigned char* at = 0; VirtualQuery(at, &info, sizeof info); ) {
    if (info.State == MEM_FREE) {
      SIZE_T size = info.RegionSize;
      for (int i = 0; i < 4; ++i)
        if (size > largest[i]) { SIZE_T t = largest[i]; largest[i] = size; size = t; }
    }
    at = (unsigned char*)info.BaseAddress + info.RegionSize;
    if (!at) break;
  }
  printf("largest free ranges: %lu, %lu, %lu, %lu MiB\n", (unsigned long)(largest[0] >> 20),
         (unsigned long)(largest[1] >> 20), (unsigned long)(largest[2] >> 20),
         (unsigned long)(largest[3] >> 20));
  char a[MAX_PATH], b[MAX_PATH];
  snprintf(a, sizeof a, "%s\\a.bin", argv[1]);
  snprintf(b, sizeof b, "%s\\b.bin", argv[1]);
  int pair = 0;
  for (int mib = 16; mib <= 2048 && map_pair(a, b, mib); mib += 16) pair = mib;
  printf("two views of %d MiB each mapped together (%d MiB)\n", pair, 2 * pair);
  return 0;
}
