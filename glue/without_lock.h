// Running core code without the interpreter lock, so that other threads run meanwhile.
#pragma once

#include <chrono>
#include <thread>

#include "ref.h"

namespace quorlane_glue {

// Whether the interpreter is being finalized. A thread that takes the interpreter lock then is ended on the
// spot (a forced unwind, or a wait without end from 3.14 on), as CPython's documentation of PyEval_RestoreThread
// warns, advising to ask this first. CPython 3.13 names it Py_IsFinalizing; before, it is spelled with an
// underscore, which reads the same runtime flag. PyPy ends no thread that way.
inline bool interpreter_ending() noexcept {
#if defined(PYPY_VERSION)
  return false;
#elif PY_VERSION_HEX >= 0x030D0000
  return Py_IsFinalizing() != 0;
#else
  return _Py_IsFinalizing() != 0;
#endif
}

// Releases the lock for its lifetime and takes it back on every way out, an exception included, but during
// finalization: then the thread (a daemon thread: the others were joined) waits for the process to end rather
// than return into an interpreter being taken apart. The destructor lets the interpreter's forced unwind of the
// thread pass (a finalization that began after the question), so it is not declared noexcept; nothing the
// caller holds may need the lock to be released (no Ref is made or dropped while unlocked).
class WithoutLock {
 public:
  WithoutLock() noexcept : state_(PyEval_SaveThread()) {}
  WithoutLock(const WithoutLock&) = delete;
  WithoutLock& operator=(const WithoutLock&) = delete;
  ~WithoutLock() noexcept(false) {
    while (interpreter_ending()) std::this_thread::sleep_for(std::chrono::seconds(1));
    PyEval_RestoreThread(state_);
  }

 private:
  PyThreadState* state_;
};

}  // namespace quorlane_glue
