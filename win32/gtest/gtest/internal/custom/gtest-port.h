// GoogleTest's hook for those who build it themselves, used by the Win32
// build: this mingw has Win32 threads, whose C++ library has no std::mutex,
// so GoogleTest is built without its locks (the tests run on one thread).
// Its death tests on Windows still want the handle holder that comes with
// the locks; auto_handle.cpp provides it.
#ifndef CRESTUNE_WIN32_GTEST_PORT_H_
#define CRESTUNE_WIN32_GTEST_PORT_H_

#define GTEST_IS_THREADSAFE 0

namespace testing {
namespace internal {

// Owns a Win32 HANDLE (a void*, so that no <windows.h> is needed here).
class AutoHandle {
 public:
  typedef void* Handle;
  AutoHandle();
  explicit AutoHandle(Handle handle);
  ~AutoHandle();

  Handle Get() const;
  void Reset();
  void Reset(Handle handle);

 private:
  bool IsCloseable() const;

  Handle handle_;

  AutoHandle(const AutoHandle&) = delete;
  AutoHandle& operator=(const AutoHandle&) = delete;
};

}  // namespace internal
}  // namespace testing

#endif  // CRESTUNE_WIN32_GTEST_PORT_H_
