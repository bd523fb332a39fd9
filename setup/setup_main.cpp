/*
 * The process entry. The C runtime hands over the command line after the program name; the
 * main sequence passes it unchanged to the toolkit's frame.
 */
#include <windows.h>

#include "setup/setup_state.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
  (void)hPrevInstance;
  return SetupMain(hInstance, lpCmdLine, nCmdShow);
}
