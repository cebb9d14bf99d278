/* The floor of every figure: a Windows program that does nothing, started the
 * same way. What any installer costs above it is its own. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show) {
  (void)instance;
  (void)previous;
  (void)line;
  (void)show;
  return 0;
}
