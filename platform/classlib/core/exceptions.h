#pragma once
// The class library's exception classes. Every failure in the system is a C++
// exception derived from Exception, which carries the message; EAbort is the
// silent exception that unwinds without telling the user.

#include <exception>
#include <string>

#include "platform/classlib/core/object.h"

class Exception : public TObject, public std::exception {
  DECLARE_CLASS(Exception, TObject)
 public:
  explicit Exception(std::string message = {}) : message_(std::move(message)) {}
  Exception(std::string message, int helpContext)
      : message_(std::move(message)), helpContext_(helpContext) {}
  Exception(const Exception& other)
      : TObject(), std::exception(other), message_(other.message_),
        helpContext_(other.helpContext_) {}

  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int ctx) { helpContext_ = ctx; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
  int helpContext_ = 0;
};

// Declares an exception class that adds nothing but its name.
#define DECLARE_EXCEPTION(Self, Parent)      \
  class Self : public Parent {               \
    DECLARE_CLASS(Self, Parent)              \
   public:                                   \
    using Parent::Parent;                    \
  };

DECLARE_EXCEPTION(EAbort, Exception)
DECLARE_EXCEPTION(EConvertError, Exception)
DECLARE_EXCEPTION(EListError, Exception)
DECLARE_EXCEPTION(EStringListError, Exception)
DECLARE_EXCEPTION(EBitsError, Exception)
DECLARE_EXCEPTION(EStreamError, Exception)
DECLARE_EXCEPTION(EFCreateError, EStreamError)
DECLARE_EXCEPTION(EFOpenError, EStreamError)
DECLARE_EXCEPTION(EFilerError, EStreamError)
DECLARE_EXCEPTION(EReadError, EFilerError)
DECLARE_EXCEPTION(EWriteError, EFilerError)
DECLARE_EXCEPTION(EClassNotFound, EFilerError)
DECLARE_EXCEPTION(EMethodNotFound, EFilerError)
DECLARE_EXCEPTION(EInvalidImage, EFilerError)
DECLARE_EXCEPTION(EParserError, Exception)
DECLARE_EXCEPTION(EInvalidOperation, Exception)
DECLARE_EXCEPTION(EInvalidCast, Exception)
DECLARE_EXCEPTION(EComponentError, Exception)
DECLARE_EXCEPTION(EPropertyError, Exception)
DECLARE_EXCEPTION(EPropertyConvertError, Exception)
DECLARE_EXCEPTION(EOutOfResources, Exception)
DECLARE_EXCEPTION(EOutOfMemory, Exception)
DECLARE_EXCEPTION(EInvalidPointer, Exception)
DECLARE_EXCEPTION(EIntError, Exception)
DECLARE_EXCEPTION(EDivByZero, EIntError)
DECLARE_EXCEPTION(ERangeError, EIntError)
DECLARE_EXCEPTION(EIntOverflow, EIntError)
DECLARE_EXCEPTION(EMathError, Exception)
DECLARE_EXCEPTION(EInvalidOp, EMathError)
DECLARE_EXCEPTION(EZeroDivide, EMathError)
DECLARE_EXCEPTION(EOverflow, EMathError)
DECLARE_EXCEPTION(EUnderflow, EMathError)
DECLARE_EXCEPTION(EVariantError, Exception)
DECLARE_EXCEPTION(EAssertionFailed, Exception)
DECLARE_EXCEPTION(EThread, Exception)

// An input/output failure with the operating system's error code.
class EInOutError : public Exception {
  DECLARE_CLASS(EInOutError, Exception)
 public:
  EInOutError(std::string message, int errorCode)
      : Exception(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;
};

// An operating-system call that failed, with its error number.
class EOSError : public Exception {
  DECLARE_CLASS(EOSError, Exception)
 public:
  explicit EOSError(std::string message, int errorCode = 0)
      : Exception(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;
};

// Raises the silent exception ("Operation aborted").
[[noreturn]] void Abort();
