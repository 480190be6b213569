// The file systems Trellan writes.
#pragma once

namespace trellan {

enum class FileSystem { fat12, fat16, fat32, exfat };

}  // namespace trellan
