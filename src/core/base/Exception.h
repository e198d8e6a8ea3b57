#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmark {

// The error of a whole operation. It carries the message the user reads, in
// UTF-8 through what() and as a Unicode string through Message().
class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& utf8Message);
    explicit Exception(std::u16string_view message);

    std::u16string Message() const;
};

// No file exists where one was expected.
class EFileNotFoundException : public Exception {
  public:
    using Exception::Exception;
};

// A file cannot be created or replaced.
class EFCreateError : public Exception {
  public:
    using Exception::Exception;
};

// A file cannot be opened for reading.
class EFOpenError : public Exception {
  public:
    using Exception::Exception;
};

// Reading an open file or stream failed or ended early.
class EReadError : public Exception {
  public:
    using Exception::Exception;
};

// Writing to a file failed: short write, full disk, failed flush or close.
class EWriteError : public Exception {
  public:
    using Exception::Exception;
};

// A text that should be a path holds characters no path can hold.
class EArgumentException : public Exception {
  public:
    using Exception::Exception;
};

// The user cancelled a running operation. Front ends report nothing for it,
// and readers that turn failures into a false result let it pass.
class EAbort : public Exception {
  public:
    EAbort();
};

}  // namespace quillmark
