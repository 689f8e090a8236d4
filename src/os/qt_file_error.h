#pragma once
// Qt's file classes (QFile, QSaveFile, QTemporaryFile) report a class of
// error and an English text; the system's error behind it is left in errno
// by the failing call. The operator's reason comes from that number through
// the one table of system errors, or, where Qt failed without one, from the
// class:
//
//   errno = 0;
//   if (!file.open(QIODevice::WriteOnly)) return "... non si scrive: " + file_reason(file.error(), errno);
//
// errno is cleared before the call, so a number an earlier call left is
// never taken for this one's.

#include <QFileDevice>
#include <string>

namespace vadrel {

std::string file_reason(QFileDevice::FileError error, int system_error);

}  // namespace vadrel
