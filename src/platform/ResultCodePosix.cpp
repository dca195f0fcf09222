#include <cerrno>

#include "platform/ResultCode.h"

namespace tola {

ResultCode ResultFromErrno(int err) {
  switch (err) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENODEV: return kErrorFileNotFound;
    case ENXIO: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM: return kErrorAccessDenied;
    case EBUSY: return kErrorAccessDenied;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EROFS: return kErrorWriteProtect;
    case EIO: return kErrorGenFailure;
    case EWOULDBLOCK: return kErrorSharingViolation;
    case ENOSYS:
    case EOPNOTSUPP: return kErrorNotSupported;
    case EEXIST: return kErrorAlreadyExists;
    case EINVAL: return kErrorInvalidParameter;
    case EPIPE: return kErrorBrokenPipe;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case EFBIG: return kErrorFileTooLarge;
    case EISDIR: return kErrorDirectory;
    case EINTR: return kErrorOperationAborted;
    case ETIMEDOUT: return kErrorTimeout;
    case ENOTTY: return kErrorInvalidFunction;
    default:
      if (err > 0 && err < 0x1000) return kErrnoBase | static_cast<ResultCode>(err);
      return kErrorGenFailure;
  }
}

}  // namespace tola
