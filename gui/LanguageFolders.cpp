#include "gui/LanguageFolders.h"

#include <QCoreApplication>
#include <QDir>

namespace va5 {

std::vector<std::string> LanguageFolders() {
  std::vector<std::string> folders;
  folders.push_back(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString());
#ifdef VA5VIVI_DATA_DIR_FROM_BIN
  folders.push_back(QDir::toNativeSeparators(
                        QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                                            .filePath(QStringLiteral(VA5VIVI_DATA_DIR_FROM_BIN))))
                        .toStdString());
#endif
#ifdef VA5VIVI_DATA_DIR
  folders.push_back(VA5VIVI_DATA_DIR);
#endif
  return folders;
}

}  // namespace va5
