// Stand-in for a setup or application the update library starts: records
// that it ran, and in which working directory, in "<its own path>.ran".
#include <windows.h>

#include <cstdio>

int main() {
  char self[MAX_PATH] = {}, cwd[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  GetCurrentDirectoryA(MAX_PATH, cwd);
  char out[MAX_PATH + 8];
  std::snprintf(out, sizeof out, "%s.ran", self);
  if (FILE* f = std::fopen(out, "ab")) {
    std::fprintf(f, "cwd=%s\r\n", cwd);
    std::fclose(f);
  }
  return 0;
}
