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

struct TWhoCalled::TBook {
    QString Path;
    TPhonebook Book;
    QString Problem;
};

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

TWhoCalled::TWhoCalled(ISettingsStore& store, QObject* parent)
    : QObject(parent), Store_(store), Own_(std::make_unique<TBook>()) {
    LoadAddedSettings(Store_, Settings_);
    Numbers_ = std::make_unique<TNumberKnowledge>(Settings_.Region, Language());
    // Editors save in several steps; read the file once they are done.
    Settle_.setSingleShot(true);
    Settle_.setInterval(200);
    connect(&Settle_, &QTimer::timeout, this, &TWhoCalled::Reload);
    Reload();
}

TWhoCalled::~TWhoCalled() = default;

void TWhoCalled::ApplySettings(const TAddedSettings& settings) {
    const bool regionChanged = settings.Region != Settings_.Region;
    Settings_ = settings;
    if (regionChanged) {
        Numbers_ = std::make_unique<TNumberKnowledge>(Settings_.Region, Language());
        // Match keys depend on the region: read the books afresh.
        Own_ = std::make_unique<TBook>();
        User_.reset();
    }
    Reload();
}

QString TWhoCalled::PhonebookPath() const {
    return Settings_.Phonebook.empty() ? OwnPhonebookPath()
                                       : QString::fromStdString(Settings_.Phonebook);
}

std::string TWhoCalled::MatchKey(const std::string& callerText) const {
    return Numbers_->CallerKey(callerText);
}

TCallerView TWhoCalled::Describe(const std::string& callerText) const {
    TCallerView view;
    view.Info = Numbers_->Describe(callerText);
    if (view.Info.MatchKey.empty()) {
        return view;
    }
    for (const TBook* book : {Own_.get(), User_.get()}) {
        if (book == nullptr) {
            continue;
        }
        if (auto name = book->Book.NameFor(view.Info.MatchKey)) {
            view.Name = QString::fromStdString(*name);
            break;
        }
    }
    return view;
}

void TWhoCalled::LoadBook(TBook& book) {
    QString problem;
    if (!QFileInfo::exists(book.Path)) {
        // Without its own file Telvane simply has no names yet; a file the
        // user chose should be there.
        book.Book = TPhonebook();
        if (&book == Own_.get()) {
            book.Problem.clear();
            return;
        }
        problem = tr("%1: ファイルがありません").arg(book.Path);
    } else if (const auto error = book.Book.Load(FilePath(book.Path), *Numbers_)) {
        problem = QStringLiteral("%1:%2: %3")
                      .arg(QString::fromStdString(error->File))
                      .arg(error->Line)
                      .arg(QString::fromStdString(error->What));
    } else {
        book.Problem.clear();
        return;
    }
    if (problem != book.Problem) {
        // Said once per fault; the last good book stays in use meanwhile.
        std::fprintf(stderr, "Telvane: %s\n", problem.toLocal8Bit().constData());
        book.Problem = problem;
    }
}

void TWhoCalled::Reload() {
    Own_->Path = OwnPhonebookPath();
    LoadBook(*Own_);
    const QString user = PhonebookPath();
    if (QFileInfo(user).absoluteFilePath() == QFileInfo(Own_->Path).absoluteFilePath()) {
        User_.reset();
    } else {
        if (!User_ || User_->Path != user) {
            User_ = std::make_unique<TBook>();
            User_->Path = user;
        }
        LoadBook(*User_);
    }
    QStringList problems;
    for (const TBook* book : {Own_.get(), User_.get()}) {
        if (book != nullptr && !book->Problem.isEmpty()) {
            problems << book->Problem;
        }
    }
    Problem_ = problems.join('\n');
    Watch();
    emit Changed();
}

void TWhoCalled::Watch() {
    // Editors replace a file by renaming a new one over it, which ends a
    // watch on the file itself: watch the folders too.
    delete Watcher_;
    Watcher_ = new QFileSystemWatcher(this);
    for (const TBook* book : {Own_.get(), User_.get()}) {
        if (book == nullptr) {
            continue;
        }
        const QFileInfo file(book->Path);
        // A folder that does not exist yet is watched through the nearest
        // one that does.
        QDir folder = file.absoluteDir();
        while (!folder.exists() && folder.cdUp()) {
        }
        if (folder.exists()) {
            Watcher_->addPath(folder.absolutePath());
        }
        if (file.exists()) {
            Watcher_->addPath(file.absoluteFilePath());
        }
    }
    connect(Watcher_, &QFileSystemWatcher::directoryChanged, &Settle_, qOverload<>(&QTimer::start));
    connect(Watcher_, &QFileSystemWatcher::fileChanged, &Settle_, qOverload<>(&QTimer::start));
}

std::optional<QString> TWhoCalled::AddName(const QString& name, const std::string& callerText) {
    const QString own = OwnPhonebookPath();
    if (!QDir().mkpath(QFileInfo(own).absolutePath())) {
        return tr("フォルダ %1 を作れません").arg(QFileInfo(own).absolutePath());
    }
    try {
        AddToOwnPhonebook(FilePath(own), name.trimmed().toStdString(),
                          FromShiftJis(callerText).toStdString());
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
    Reload();
    return std::nullopt;
}

} // namespace telvane
