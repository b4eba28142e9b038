#pragma once
// The only exceptions the layers above raise, and only for misuse: an
// operation in the wrong state, an index out of range, a buffer that can't be
// had. Ordinary failures are results plus a message, never exceptions.
#include <stdexcept>
#include <string>

class RuntimeException : public std::runtime_error {
 public:
  explicit RuntimeException(const std::string& message = "RuntimeException")
      : std::runtime_error(message) {}
};

class OutOfBoundsException : public RuntimeException {
 public:
  explicit OutOfBoundsException(const std::string& message = "OutOfBoundsException")
      : RuntimeException(message) {}
};

class OutOfMemoryException : public RuntimeException {
 public:
  explicit OutOfMemoryException(const std::string& message = "OutOfMemoryException")
      : RuntimeException(message) {}
};
