#include "ui/callers/WhoCalled.h"

#include "ui/Translation.h"
#include "ui/callers/CallersPlaces.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLocale>

#include <cstdio>

namespace telvane {

namespace {

std::string Language() {
    // The same choice as the interface's translation.
    return UsesEnglish(QLocale()) ? "en" : "ja";
}

std::filesystem::path FilePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace

QString TCallerView::NameOrArea() const {
    return Name.isEmpty() ? QString::fromStdString(Info.Area) : Name;
}

QString TCallerView::Details() const {
    QStringList lines;
    if (!Name.isEmpty()) {
        lines << Name;
    }
    // A text that is no number is already on show as it is.
    const std::string none;
    for (const std::string* part :
         {Info.Parsed ? &Info.Display : &none, &Info.Kind, &Info.Area, &Info.Withheld}) {
        if (!part->empty()) {
            lines << QString::fromStdString(*part);
        }
    }
    return lines.join('\n');
}

TWhoCalled::TWhoCalled(ISettingsStore& store, QObject* parent) : QObject(parent), Store_(store) {
    LoadAddedSettings(Store_, Settings_);
    // Editors save in several steps; read the file once they are done.
    Settle_.setSingleShot(true);
    Settle_.setInterval(200);
    connect(&Settle_, &QTimer::timeout, this, [this] { Directory_->Reload(); });
    Watcher_ = new QFileSystemWatcher(this);
    connect(Watcher_, &QFileSystemWatcher::directoryChanged, &Settle_, qOverload<>(&QTimer::start));
    connect(Watcher_, &QFileSystemWatcher::fileChanged, &Settle_, qOverload<>(&QTimer::start));
    Directory_ = std::make_unique<TCallerDirectory>(Places(), [this] {
        // On the directory's thread: the window's thread takes it from here.
        QMetaObject::invokeMethod(this, &TWhoCalled::Loaded, Qt::QueuedConnection);
    });
    Watch();
}

TWhoCalled::~TWhoCalled() = default;

TDirectoryPlaces TWhoCalled::Places() const {
    TDirectoryPlaces places;
    places.Region = Settings_.Region;
    places.Language = Language();
    places.OwnFile = FilePath(OwnPhonebookPath());
    places.UserFile = FilePath(PhonebookPath());
    return places;
}

void TWhoCalled::ApplySettings(const TAddedSettings& settings) {
    Settings_ = settings;
    Directory_->Load(Places());
    Watch();
}

QString TWhoCalled::PhonebookPath() const {
    return Settings_.Phonebook.empty() ? OwnPhonebookPath()
                                       : QString::fromStdString(Settings_.Phonebook);
}

std::string TWhoCalled::MatchKey(const std::string& callerText) const {
    return Directory_->MatchKey(callerText);
}

TCallerView TWhoCalled::Describe(const std::string& callerText) const {
    TCallerFacts facts = Directory_->Describe(callerText);
    TCallerView view;
    view.Info = std::move(facts.Info);
    view.Name = QString::fromStdString(facts.Name);
    return view;
}

namespace {

QString Text(const TBookProblem& problem) {
    const QString file = QString::fromStdString(problem.Error.File);
    if (problem.Missing) {
        return TWhoCalled::tr("%1: ファイルがありません").arg(file);
    }
    return QStringLiteral("%1:%2: %3")
        .arg(file)
        .arg(problem.Error.Line)
        .arg(QString::fromStdString(problem.Error.What));
}

} // namespace

QString TWhoCalled::Problem() const {
    QStringList problems;
    const std::shared_ptr<const TDirectorySnapshot> snapshot = Directory_->Snapshot();
    for (const TBookProblem& problem : snapshot->Problems) {
        problems << Text(problem);
    }
    return problems.join('\n');
}

void TWhoCalled::Loaded() {
    // Said once per fault; the last good book stays in use meanwhile.
    for (const TBookProblem& problem : Directory_->TakeNewProblems()) {
        std::fprintf(stderr, "Telvane: %s\n", Text(problem).toLocal8Bit().constData());
    }
    // A file or folder may have come or gone.
    Watch();
    emit Changed();
}

void TWhoCalled::Watch() {
    // Editors replace a file by renaming a new one over it, which ends a
    // watch on the file itself: watch the folders too.
    QStringList wanted;
    for (const QString& path : {OwnPhonebookPath(), PhonebookPath()}) {
        const QFileInfo file(path);
        // A folder that does not exist yet is watched through the nearest
        // one that does.
        QDir folder = file.absoluteDir();
        while (!folder.exists() && folder.cdUp()) {
        }
        if (folder.exists()) {
            wanted << folder.absolutePath();
        }
        if (file.exists()) {
            wanted << file.absoluteFilePath();
        }
    }
    // The same watcher throughout, so that no change seen during a read is
    // lost.
    const QStringList watched = Watcher_->files() + Watcher_->directories();
    for (const QString& path : watched) {
        if (!wanted.contains(path)) {
            Watcher_->removePath(path);
        }
    }
    for (const QString& path : wanted) {
        if (!watched.contains(path)) {
            Watcher_->addPath(path);
        }
    }
}

std::optional<QString> TWhoCalled::AddName(const QString& name, const std::string& callerText) {
    const QString own = OwnPhonebookPath();
    if (!QDir().mkpath(QFileInfo(own).absolutePath())) {
        return tr("フォルダ %1 を作れません").arg(QFileInfo(own).absolutePath());
    }
    try {
        Directory_->AddName(name.trimmed().toStdString(), FromShiftJis(callerText).toStdString());
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
    return std::nullopt;
}

} // namespace telvane
