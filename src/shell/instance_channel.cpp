#include "shell/instance_channel.h"

#include <QLocalSocket>
#include <QTimer>

namespace tsunagi {

namespace {

// One message: the files one to a line, ended by an empty line.
constexpr char kEnd[] = "\n\n";

}  // namespace

InstanceChannel::InstanceChannel(const QString& lockPath, QObject* parent)
    : QObject(parent), name_(lockPath + ".socket") {
    connect(&server_, &QLocalServer::newConnection, this, &InstanceChannel::readConnection);
}

bool InstanceChannel::listen() {
    if (name_ == ".socket") return false;  // no private folder: no channel
    // A socket left by a program that died is no one's: we hold the lock.
    QLocalServer::removeServer(name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(name_);
}

bool InstanceChannel::send(const QStringList& files, int timeoutMs) const {
    if (name_ == ".socket") return false;
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    QByteArray message = files.join('\n').toUtf8() + kEnd;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    socket.disconnectFromServer();
    return true;
}

void InstanceChannel::readConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        auto read = [this, socket, buffer] {
            buffer->append(socket->readAll());
            // A bound on what a stranger may make us hold.
            if (buffer->size() > (1 << 20)) {
                socket->abort();
                return;
            }
            if (!buffer->endsWith(kEnd)) return;
            QStringList files;
            for (const QByteArray& line : buffer->chopped(2).split('\n'))
                if (!line.isEmpty()) files << QString::fromUtf8(line);
            buffer->clear();
            // The connection is done with before anything is shown: the import and its
            // messages run from the event loop, never inside this read, whose socket may be
            // gone by the time a message box is answered.
            socket->disconnect(this);
            socket->abort();
            socket->deleteLater();
            QTimer::singleShot(0, this, [this, files] { emit filesArrived(files); });
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}

}  // namespace tsunagi
