#pragma once

// How a second start of the program reaches the first: it hands over the files it was asked to
// open and brings the running window forward, instead of ending without a word.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

namespace tsunagi {

class InstanceChannel : public QObject {
    Q_OBJECT
  public:
    // The channel of the program that holds `lockPath`.
    explicit InstanceChannel(const QString& lockPath, QObject* parent = nullptr);

    // Starts listening (the first start); false when that failed, and then nothing is heard.
    bool listen();
    // Sends the files, absolute, to the running program (a second start); false when none
    // answered within `timeoutMs`.
    bool send(const QStringList& files, int timeoutMs = 3000) const;

  signals:
    // Files a second start asked to open; empty when it only asked to be shown.
    void filesArrived(const QStringList& files);

  private:
    void readConnection();

    QString name_;
    QLocalServer server_;
};

}  // namespace tsunagi
