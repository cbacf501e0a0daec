#pragma once
// Receives the addresses the program asks the desktop to open.
#include <QList>
#include <QObject>
#include <QUrl>

namespace vidralo::test {

class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public Q_SLOTS:
  void open(const QUrl& url) { opened << url; }
};

}  // namespace vidralo::test
