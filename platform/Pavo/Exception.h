// Pavo exceptions: the framework's error types.
//
// Every error the platform raises derives from Pavo::Exception and carries a
// message meant for a person: it names the bound and count, the type and field,
// or the attribute and position that went wrong. msg() returns it.
#pragma once

#include <exception>
#include <string>

namespace Pavo {

class Exception : public std::exception {
 public:
  explicit Exception(std::string msg) : msg_(std::move(msg)) {}
  std::string const& msg() const noexcept { return msg_; }
  char const* what() const noexcept override { return msg_.c_str(); }

 private:
  std::string msg_;
};

// A value or count outside its allowed range.
class RangeException : public Exception {
 public:
  using Exception::Exception;
};

// A shared-table read found an entry or link it cannot trust.
class CorruptionDetectedException : public Exception {
 public:
  using Exception::Exception;
};

// A mutator was handed a null counted pointer where it needs an object.
class NullPointerException : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace Pavo
