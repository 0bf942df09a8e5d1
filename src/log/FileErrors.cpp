#include "log/FileErrors.h"

#include <cerrno>

namespace eventlog {

short FileErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return kNoErr;
        case ENOENT:
        case ENOTDIR:
            return kFnfErr;
        case EACCES:
        case EPERM:
            return kPermErr;
        case EROFS:
            return kWrPermErr;
        case ENOSPC:
        case EDQUOT:
            return kDskFulErr;
        case ENAMETOOLONG:
        case EISDIR:
            return kBdNamErr;
        default:
            return kIoErr;
    }
}

}  // namespace eventlog
