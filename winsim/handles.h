// Kernel handles of the simulated process (tokens, processes, threads): what CloseHandle
// closes. Each area keeps its own object behind the handle.
#ifndef WINSIM_HANDLES_H
#define WINSIM_HANDLES_H

#include <windows.h>

#include <memory>
#include <string>

namespace winsim {

HANDLE NewKernelHandle(const std::string &kind, std::shared_ptr<void> object);
// The object behind an open handle of that kind, or null.
std::shared_ptr<void> KernelObject(HANDLE handle, const std::string &kind);
bool CloseKernelHandle(HANDLE handle);
// Closes every open handle of that kind (the process that held them has ended).
void CloseKernelHandlesOf(const std::string &kind);
size_t OpenKernelHandleCount();
// Whether the handle is an open file of the harness (kernel32_file_io.cpp).
bool IsHarnessHandle(HANDLE handle);  // for tests: handles that were never closed

}  // namespace winsim

#endif
