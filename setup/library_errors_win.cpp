// The C++ library's own error reports, for the setup executable only.
//
// When a string or vector is asked for more than it can hold, or an index
// past its end, the library calls these functions. Its versions build
// std::length_error and friends, whose messages live in the library's older,
// reference-counted string: linking them brings that whole second string
// implementation and a formatting helper into the setup (about 40 KB, more
// than all of the setup's own code). None of these can happen in a correct
// run, and the setup gives every such case the same answer: the exception
// reaches the entry's boundary and the run ends with the failure exit code.
// So the errors are thrown here as one small exception type instead.
#include <exception>
#include <new>

namespace {

class LibraryLimitError : public std::exception {
 public:
  explicit LibraryLimitError(const char* what) : what_(what) {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;
};

}  // namespace

namespace std {

void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_alloc(); }
void __throw_bad_function_call() { throw LibraryLimitError("bad function call"); }
void __throw_length_error(const char* what) { throw LibraryLimitError(what); }
void __throw_logic_error(const char* what) { throw LibraryLimitError(what); }
// The format's arguments are of no use to the boundary that catches it.
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryLimitError(format); }

}  // namespace std
