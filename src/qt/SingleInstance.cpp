#include "qt/SingleInstance.h"

#include <QSocketNotifier>

#include <system_error>

namespace telvane {
namespace {

// The lock's folder may not be there yet on a first start.
std::string MadeFolderOf(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    return file.string();
}

} // namespace

TSingleInstance::TSingleInstance(const TPlaces& places, QObject* parent)
    : QObject(parent), Lock_(MadeFolderOf(places.InstanceLock)), Channel_(places.ShowSocket) {
    if (!Lock_.Held()) {
        return;
    }
    const int fd = Channel_.Listen();
    if (fd < 0) {
        return;
    }
    Notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(Notifier_, &QSocketNotifier::activated, this, [this] {
        if (Channel_.TakeRequests()) {
            emit ShowRequested();
        }
    });
}

TSingleInstance::~TSingleInstance() {
    delete Notifier_;
}

} // namespace telvane
