// Copy, move and delete for the backup engine, one call per step, success as a Boolean.
#pragma once

#include <string>
#include <vector>

namespace hw {

class TabfFileOperation {
  public:
    void SetFileList(const std::vector<std::string>& files) { fileList_ = files; }
    const std::vector<std::string>& FileList() const { return fileList_; }
    std::string DestFolder;

    bool Copy();
    bool Move();
    bool Delete();

  private:
    std::vector<std::string> fileList_;
};

}  // namespace hw
