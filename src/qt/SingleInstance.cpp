#include "qt/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace telvane {
namespace {

// Per settings file, in the user's runtime folder where there is one.
QString ServerName(const QString& settingsFile) {
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(QFileInfo(settingsFile).absoluteFilePath().toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(16));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString name = QStringLiteral("telvane-") + hash;
    return runtime.isEmpty() ? name : QDir(runtime).filePath(name);
}

// The lock's folder may not be there yet on a first start.
std::string MadeFolderOf(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    return file.string();
}

} // namespace

TSingleInstance::TSingleInstance(const TPlaces& places, QObject* parent)
    : QObject(parent), Name_(ServerName(QString::fromStdString(places.SettingsFile.string()))),
      Lock_(MadeFolderOf(places.InstanceLock)) {
    if (!Lock_.Held()) {
        return;
    }
    // Holding the lock, any socket of that name is a leftover of a program
    // that did not end cleanly.
    QLocalServer::removeServer(Name_);
    Server_ = new QLocalServer(this);
    Server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(Server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = Server_->nextPendingConnection()) {
            socket->disconnectFromServer();
            socket->deleteLater();
            emit ShowRequested();
        }
    });
    Server_->listen(Name_);
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::AskFirstToShow() const {
    // The first program may have taken the lock a moment ago and not yet
    // be listening.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(Name_);
        if (socket.waitForConnected(1000)) {
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

} // namespace telvane
