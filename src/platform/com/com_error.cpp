#include "platform/com/com_error.h"

namespace orvex {

std::string PlatformErrorText(int32_t number) {
  switch (number) {
    case errors::kInvalidProcedureCall: return "Invalid procedure call or argument";
    case errors::kOverflow: return "Overflow";
    case errors::kSubscriptOutOfRange: return "Subscript out of range";
    case errors::kTypeMismatch: return "Type mismatch";
    case errors::kInternalError: return "Internal error";
    case errors::kFileNotFound: return "File not found";
    case errors::kFileAlreadyExists: return "File already exists";
    case errors::kDiskFull: return "Disk full";
    case errors::kPermissionDenied: return "Permission denied";
    case errors::kPathFileAccessError: return "Path/File access error";
    case errors::kPathNotFound: return "Path not found";
    case errors::kObjectNotSet: return "Object variable or With block variable not set";
    case errors::kInvalidUseOfNull: return "Invalid use of Null";
    case errors::kResourceNotFound: return "Resource with identifier not found";
    case errors::kObjectRequired: return "Object required";
    case errors::kActionNotSupported: return "Object doesn't support this action";
    case errors::kDuplicateKey: return "This key is already associated with an element of this collection";
    case errors::kItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
    default: return "Application-defined or object-defined error";
  }
}

ComError::ComError(int32_t number, std::string source, std::string description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {}

ComError ComError::Platform(int32_t number, std::string source) {
  return ComError(number, std::move(source), PlatformErrorText(number));
}

}  // namespace orvex
