// Scaffold: replaced by the real copy, move and delete.
#include "shell/file_operation.h"

namespace hw {

bool TabfFileOperation::Copy() {
    return fileList_.empty();
}
bool TabfFileOperation::Move() {
    return fileList_.empty();
}
bool TabfFileOperation::Delete() {
    return fileList_.empty();
}

}  // namespace hw
