// The program's own default terminate handler.
//
// GCC's library names the escaping exception's type through its C++ demangler, which links 50 KB of
// demangling into a windowed program whose stderr nobody reads. Defined here, the library's handler and the
// demangler stay out of the link; this one still says what escaped (what(), not the type) and aborts, as
// the library's does.
#include <cstdio>
#include <cstdlib>
#include <exception>

#if defined(__GLIBCXX__)
namespace __gnu_cxx {

void __verbose_terminate_handler()
{
  // Once only: a second terminate while writing the message goes straight to abort.
  static bool terminating = false;
  if (!terminating) {
    terminating = true;
    if (const std::exception_ptr current = std::current_exception()) {
      try {
        std::rethrow_exception(current);
      } catch (const std::exception& error) {
        std::fprintf(stderr, "terminate called after throwing an exception\n  what():  %s\n", error.what());
      } catch (...) {
        std::fputs("terminate called after throwing an exception\n", stderr);
      }
    } else {
      std::fputs("terminate called without an active exception\n", stderr);
    }
  }
  std::abort();
}

} // namespace __gnu_cxx
#endif
