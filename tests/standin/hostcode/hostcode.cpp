// A shared object that is no library of the build: loading it runs its
// constructor, which appends a line to the file CRESTUNE_HOSTCODE_MARK
// names. The loader's tests put it where a device folder or a path out of
// one leads, and check that no line ever appears.
#include <cstdio>
#include <cstdlib>

namespace {
__attribute__((constructor)) void markLoaded() {
  if (const char* mark = std::getenv("CRESTUNE_HOSTCODE_MARK")) {
    if (std::FILE* f = std::fopen(mark, "a")) {
      std::fputs("host code ran\n", f);
      std::fclose(f);
    }
  }
}
}  // namespace
