// The exceptions of the core's parsers and of CreateFolderPath. Most of the
// system reports failures as codes; these are thrown only where a parse or a
// folder creation is abandoned, and caught by the caller that started it,
// never across a window procedure or a thread boundary.
#pragma once

#include <stdexcept>
#include <string>

namespace lib {

// The family's common base: catching it catches every member, with its
// message.
class Exception {
 public:
  virtual ~Exception() = default;
  virtual const char* what() const noexcept = 0;
  // Throws a copy of the object as its first-level class (RuntimeException
  // or LogicalException): a raised IOException is caught as a
  // RuntimeException.
  virtual void Raise() const = 0;

 protected:
  Exception() = default;
  Exception(const Exception&) = default;
  Exception& operator=(const Exception&) = default;
};

class RuntimeException : public std::runtime_error, public Exception {
 public:
  explicit RuntimeException(const std::string& message) : std::runtime_error(message) {}
  const char* what() const noexcept override { return std::runtime_error::what(); }
  void Raise() const override;
};

class IOException : public RuntimeException {
 public:
  explicit IOException(const std::string& message) : RuntimeException(message) {}
};

class LogicalException : public std::logic_error, public Exception {
 public:
  LogicalException() : std::logic_error("") {}
  explicit LogicalException(const std::string& message) : std::logic_error(message) {}
  const char* what() const noexcept override { return std::logic_error::what(); }
  void Raise() const override;
};

// Spelled as the rest of the system knows it.
class IlligalArgumentException : public LogicalException {
 public:
  explicit IlligalArgumentException(const std::string& message) : LogicalException(message) {}
};

}  // namespace lib
