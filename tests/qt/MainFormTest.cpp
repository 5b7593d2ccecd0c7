// The main window under Qt's offscreen platform, with a simulated terminal
// adapter on a real pseudo-terminal behind COM1.
#include "Program.h"
#include "PtyAdapter.h"
#include "TempFolder.h"

#include "comm/Comm.h"
#include "monitor/CallerMonitor.h"
#include "monitor/ShiftJisUtf8.h"
#include "monitor/Texts.h"
#include "qt/Translation.h"
#include "qt/widgets/AboutDialog.h"
#include "qt/widgets/JapaneseFonts.h"
#include "session/Autostart.h"

#include "TranslationTableEn.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <unistd.h>

namespace telvane {
namespace {

using namespace std::chrono_literals;

testing::TTempFolder* ConfigHome = nullptr;

QString Decoded(const std::string& shiftJis) {
    return QString::fromStdString(Utf8FromShiftJis(shiftJis));
}

// Closes every message box that opens, and remembers what it said.
class TBoxCloser {
public:
    struct TBox {
        QString Caption;
        QMessageBox::Icon Icon;
        QString Text;
    };
    TBoxCloser() {
        Timer_.setInterval(10);
        QObject::connect(&Timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Boxes.push_back({box->windowTitle(), box->icon(), box->text()});
                box->done(QMessageBox::Ok);
            }
        });
        Timer_.start();
    }
    std::vector<TBox> Boxes;

private:
    QTimer Timer_;
};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(ConfigHome->Path() / "Maruvo");
        Adapter.LinkAs(ConfigHome->Path() / "Maruvo" / "Telvane" / "ports", 1);
    }
    void TearDown() override { Program.reset(); }

    void StoreSettings(const std::string& ini) {
        std::filesystem::create_directories(ConfigHome->Path() / "Maruvo");
        testing::WriteFile(ConfigFile(), "[1.0]\n" + ini);
    }
    std::filesystem::path ConfigFile() const {
        return ConfigHome->Path() / "Maruvo" / "Telvane.conf";
    }
    void Create(bool english = false) {
        Program.reset();
        Program = std::make_unique<testing::TProgram>(english);
        Form = &Program->Form;
        Program->Start();
    }
    template <typename T> T* Find(const char* name) {
        T* widget = Form->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString Caption(const char* label) { return Find<QLabel>(label)->text(); }
    // Waits for the result phase of the query in progress.
    bool WaitForStatus(const std::string& status) {
        return QTest::qWaitFor([&] { return Caption("StatusLabel") == Decoded(status); }, 5000);
    }

    tasim::TPtyAdapter Adapter;
    std::unique_ptr<testing::TProgram> Program;
    TMainForm* Form = nullptr;
    TBoxCloser Closer;
};

TEST_F(MainWindow, LayoutComesFromTheDesignerFile) {
    TMainForm window;
    Form = &window;
    EXPECT_EQ(Form->windowTitle(), "Telvane");
    EXPECT_EQ(Form->minimumSize(), QSize(311, 152));
    EXPECT_EQ(Form->maximumSize(), QSize(311, 152));
    EXPECT_TRUE(Form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(Form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Form->windowFlags() & Qt::WindowMinimizeButtonHint);

    const struct {
        const char* Name;
        QRect Geometry;
        const char* Text;
        const char* Hint;
    } controls[] = {
        {"NumberLabel", {16, 8, 13, 24}, "?", ""},
        {"TimeLabel", {16, 40, 129, 13}, "1998/01/01 00:00:00", ""},
        {"StatusLabel", {232, 40, 60, 12}, "StatusLabel", ""},
        {"LogRingFlag", {184, 56, 113, 17}, u8"着信履歴をﾌｧｲﾙ", nullptr},
        {"Label2", {24, 80, 48, 12}, u8"調査間隔", ""},
        {"IntervalSelector", {88, 80, 65, 20}, u8" 5分", u8"電話番号の調査間隔を指定します"},
        {"Label1", {184, 80, 31, 12}, u8"ポート", ""},
        {"PortSelector", {232, 80, 65, 20}, "", u8"ターミナルアダプタのデジタルポートを指定します"},
        {"AboutButton", {16, 112, 65, 25}, "(^^)/", nullptr},
        {"ShowButton", {88, 112, 65, 25}, u8"全部", u8"状態を全て表示します"},
        {"CheckButton", {160, 112, 65, 25}, u8"即刻", u8"いますぐ調べます"},
        {"WaitButton",
         {232, 112, 65, 25},
         u8"待機",
         u8"待機中に Windows を終了すると次回起動後待機状態になります"},
    };
    for (const auto& c : controls) {
        auto* widget = Find<QWidget>(c.Name);
        ASSERT_NE(widget, nullptr);
        // Labels size themselves to their text (see the last test).
        if (qobject_cast<QLabel*>(widget) != nullptr) {
            EXPECT_EQ(widget->pos(), c.Geometry.topLeft()) << c.Name;
        } else {
            EXPECT_EQ(widget->geometry(), c.Geometry) << c.Name;
        }
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text = button->text();
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            text = combo->currentText();
            EXPECT_TRUE(combo->isEditable()) << c.Name;
            EXPECT_EQ(combo->maxVisibleItems(), 8) << c.Name;
        }
        EXPECT_EQ(text, QString::fromUtf8(c.Text)) << c.Name;
        if (c.Hint != nullptr) {
            EXPECT_EQ(widget->toolTip(), QString::fromUtf8(c.Hint)) << c.Name;
        }
    }
    EXPECT_TRUE(Find<QPushButton>("AboutButton")->toolTip().endsWith("(^^)/"));

    QStringList intervals;
    auto* interval = Find<QComboBox>("IntervalSelector");
    for (int i = 0; i < interval->count(); ++i) {
        intervals << interval->itemText(i);
    }
    EXPECT_EQ(intervals.join('|'), QString::fromUtf8(u8"30分|20分|15分|10分| 5分| 3分| 2分| "
                                                     u8"1分|30秒|20秒|15秒"));
    auto* port = Find<QComboBox>("PortSelector");
    ASSERT_EQ(port->count(), 9);
    EXPECT_EQ(port->itemText(0), "COM1");
    EXPECT_EQ(port->itemText(8), "COM9");

    // Fonts: character heights in pixels, the Gothic and Mincho faces.
    EXPECT_EQ(Form->font().pixelSize(), 12);
    EXPECT_EQ(Form->font().family(), GothicFamily());
    const QFont number = Find<QLabel>("NumberLabel")->font();
    EXPECT_EQ(number.pixelSize(), 24);
    EXPECT_TRUE(number.bold());
    const QFont time = Find<QLabel>("TimeLabel")->font();
    EXPECT_EQ(time.pixelSize(), 13);
    EXPECT_EQ(time.family(), MinchoFamily());
    EXPECT_NE(GothicFamily(), MinchoFamily()) << "Japanese fonts are missing";
    auto* status = Find<QLabel>("StatusLabel");
    status->ensurePolished();
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(Qt::red));

    // The default button and the tab order.
    EXPECT_TRUE(Find<QPushButton>("CheckButton")->isDefault());
    QStringList chain;
    QWidget* widget = Find<QWidget>("PortSelector");
    for (int i = 0; i < 40 && chain.size() < 7; ++i, widget = widget->nextInFocusChain()) {
        const QString name = widget->objectName();
        if (!name.isEmpty() && !chain.contains(name) && name != "TMainForm") {
            chain << name;
        }
    }
    EXPECT_EQ(chain, QStringList({"PortSelector", "CheckButton", "ShowButton", "AboutButton",
                                  "WaitButton", "IntervalSelector", "LogRingFlag"}));
}

TEST_F(MainWindow, WithoutPortNothingIsQueriedAndTheHintNamesTheProgramsFolder) {
    ASSERT_EQ(::chdir("/"), 0);
    Create();
    EXPECT_EQ(Caption("NumberLabel"), Decoded(texts::kNumberNoPort));
    EXPECT_EQ(Caption("StatusLabel"), Decoded(texts::kStatusNoPort));
    EXPECT_EQ(Caption("TimeLabel"), "1998/01/01 00:00:00");
    EXPECT_EQ(Find<QCheckBox>("LogRingFlag")->toolTip(),
              QString::fromUtf8(u8"着信を ") + QCoreApplication::applicationDirPath() +
                  "/RingLog.txt" + QString::fromUtf8(u8" に記録します"));
    QTest::qWait(300);
    EXPECT_EQ(Adapter.Commands(), 0);
    EXPECT_TRUE(Form->hasFocus() || Find<QPushButton>("CheckButton")->hasFocus());
}

TEST_F(MainWindow, EveryKeystrokeAndEveryListChoiceQueriesOnce) {
    Create();
    auto* port = Find<QComboBox>("PortSelector");
    QTest::keyClicks(port->lineEdit(), "COM1");
    ASSERT_TRUE(Adapter.WaitForCommands(1, 3s));
    // "C", "CO" and "COM" have no port digit: each is reported.
    ASSERT_EQ(Closer.Boxes.size(), 3u);
    for (const auto& box : Closer.Boxes) {
        EXPECT_EQ(box.Caption, "Telvane");
        EXPECT_EQ(box.Icon, QMessageBox::Critical);
    }
    EXPECT_EQ(Closer.Boxes[2].Text,
              Decoded(std::string(texts::kPortTextBefore) + "COM" + texts::kPortTextAfter + "."));

    // One choice from the list is one more query.
    QTest::keyClick(port, Qt::Key_Down);
    ASSERT_TRUE(Adapter.WaitForCommands(2, 3s));
    QTest::qWait(300);
    EXPECT_EQ(Adapter.Commands(), 2);
    EXPECT_EQ(Closer.Boxes.size(), 3u);
}

TEST_F(MainWindow, LoadedSettingsStartOneQueryOnly) {
    StoreSettings("Port=COM1\nInterval=\" 1\\x5206\"\nLogRing=1\n");
    Create();
    EXPECT_EQ(Find<QComboBox>("PortSelector")->currentText(), "COM1");
    EXPECT_EQ(Find<QComboBox>("IntervalSelector")->currentText(), QString::fromUtf8(u8" 1分"));
    EXPECT_TRUE(Find<QCheckBox>("LogRingFlag")->isChecked());
    ASSERT_TRUE(Adapter.WaitForCommands(1, 3s));
    ASSERT_TRUE(WaitForStatus(texts::kStatusNumberChanged));
    QTest::qWait(300);
    EXPECT_EQ(Adapter.Commands(), 1);
}

TEST_F(MainWindow, StandbyFollowsTheWindowFromTheFirstResultOn) {
    StoreSettings("Port=COM1\n");
    Adapter.SetMode(tasim::TReplyMode::Silent);
    Create();
    // Before the first result the hooks are not in place.
    Form->showMinimized();
    QTest::qWait(50);
    EXPECT_FALSE(Standby);
    ASSERT_TRUE(WaitForStatus(texts::kStatusCannotDetect));
    EXPECT_FALSE(Standby);

    Form->showNormal();
    Adapter.SetMode(tasim::TReplyMode::Listing);
    QTest::mouseClick(Find<QPushButton>("CheckButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitForStatus(texts::kStatusNumberChanged));
    QTest::mouseClick(Find<QPushButton>("WaitButton"), Qt::LeftButton);
    EXPECT_TRUE(Form->isMinimized());
    EXPECT_TRUE(Standby);

    // A new caller brings the window back.
    Adapter.Ring("0123456789");
    Program->Service->CheckNow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Caption("NumberLabel") == "0123456789"; }, 5000));
    EXPECT_FALSE(Form->isMinimized());
    EXPECT_FALSE(Standby);
    EXPECT_EQ(Caption("StatusLabel"), Decoded(texts::kStatusNumberChanged));
}

TEST_F(MainWindow, ErrorOnTheWatchThreadIsReportedOnTheWindow) {
    StoreSettings("Port=COM1\n");
    Program = std::make_unique<testing::TProgram>();
    Program->Service->Comm()->SetOnCommReceive(
        [](TComm*, std::uint16_t) { throw std::runtime_error("watch thread failure"); });
    Program->Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Closer.Boxes.empty(); }, 5000));
    EXPECT_EQ(Closer.Boxes[0].Caption, "Telvane");
    EXPECT_EQ(Closer.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(Closer.Boxes[0].Text, "watch thread failure.");
}

TEST_F(MainWindow, QueriesGoOnWhileTheVersionDialogIsOpen) {
    StoreSettings("Port=COM1\n");
    Create();
    ASSERT_TRUE(WaitForStatus(texts::kStatusNumberChanged));
    TMyAboutDialogBox about;
    Form->SetAboutDialog([&about] { about.ShowModalMaximized(); });

    bool queried = false;
    QTimer::singleShot(0, [&] {
        // A query started now ends while the dialog is open.
        Adapter.Ring("0987654321");
        Program->Service->CheckNow();
        queried = QTest::qWaitFor([&] { return Caption("NumberLabel") == "0987654321"; }, 5000);
        QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return);
    });
    QTest::mouseClick(Find<QPushButton>("AboutButton"), Qt::LeftButton);
    EXPECT_TRUE(queried);
    EXPECT_FALSE(about.isVisible());
}

// Japanese by default; English where the desktop's language is another. The
// core's texts are translated where they are shown, never where they are
// stored, and every text fits its place in the fixed window in both.
TEST_F(MainWindow, EnglishWhereTheDesktopIsNotJapaneseAndEveryTextFits) {
    for (const char* name : {"ja_JP", "C", "en_US"}) {
        const std::unique_ptr<QTranslator> translation = LoadTranslation(QLocale(name));
        const bool english = translation != nullptr;
        ASSERT_EQ(english, std::string(name) == "en_US");
        if (english) {
            QCoreApplication::installTranslator(translation.get());
            // The Windows shell's table holds the same translations.
            for (const auto& entry : english::kEntries) {
                EXPECT_EQ(QCoreApplication::translate(entry.Context, entry.Source),
                          QString::fromUtf8(entry.Translation));
            }
        }
        Create(english);
        const auto ja = [english](const char* japanese, const char* en) {
            return english ? QString(en) : QString::fromUtf8(japanese);
        };
        EXPECT_EQ(Caption("Label2"), ja(u8"調査間隔", "Interval"));
        EXPECT_EQ(Find<QPushButton>("WaitButton")->text(), ja(u8"待機", "Standby"));
        EXPECT_EQ(Find<QPushButton>("AboutButton")->text(), "(^^)/");
        EXPECT_EQ(Caption("NumberLabel"), ja(u8"ポート未指定", "No port set"));
        EXPECT_EQ(Find<QCheckBox>("LogRingFlag")->toolTip(),
                  ja(u8"着信を ", "Records calls in ") + QCoreApplication::applicationDirPath() +
                      "/RingLog.txt" + ja(u8" に記録します", ""));
        EXPECT_EQ(Form->ContextMenu()->actions().value(0)->text(),
                  ja(u8"ログイン時に起動", "Start at login"));
        // Stored values, parsed by the monitor: never translated.
        EXPECT_EQ(Find<QComboBox>("IntervalSelector")->itemText(4), QString::fromUtf8(u8" 5分"));
        const TTexts& shown = Program->Service->Texts();
        Form->ShowError(
            shown.Shown(std::string(texts::kPortTextBefore) + "CO" + texts::kPortTextAfter + "."));
        EXPECT_EQ(Closer.Boxes.back().Text,
                  ja(u8"ポート \"CO\" の4文字目が数字ではありません.",
                     "Port \"CO\": the fourth character is not a digit."));

        // Each label with every text it can show, up to what stands to its right.
        using TSetter = void (TMainForm::*)(const std::string&);
        const struct {
            const char* Name;
            TSetter Set; // none: the label's own text
            std::vector<const char*> CoreTexts;
            int Right;
        } labels[] = {
            {"StatusLabel",
             &TMainForm::SetStatusCaption,
             {texts::kStatusNumberChanged, texts::kStatusCannotDetect, texts::kStatusActivity,
              texts::kStatusQuerying, texts::kStatusNoPort},
             Form->width()},
            {"NumberLabel",
             &TMainForm::SetNumberCaption,
             {texts::kNumberNoPort, texts::kNoNumberInformation},
             Form->width()},
            {"Label2", nullptr, {nullptr}, Find<QWidget>("IntervalSelector")->x()},
            {"Label1", nullptr, {nullptr}, Find<QWidget>("PortSelector")->x()},
        };
        for (const auto& l : labels) {
            auto* label = Find<QLabel>(l.Name);
            for (const char* text : l.CoreTexts) {
                if (l.Set != nullptr) {
                    (Form->*l.Set)(shown.Shown(text));
                }
                EXPECT_LE(label->x() + label->fontMetrics().horizontalAdvance(label->text()),
                          l.Right)
                    << name << " " << l.Name << " " << label->text().toStdString();
            }
        }
        // The link to a followed Telvane, in the same place.
        auto* status = Find<QLabel>("StatusLabel");
        for (const char* source :
             {u8"接続中", u8"接続不可", u8"相手待ち", u8"相手停止", u8"相手検出不可", u8"追従中"}) {
            Form->SetStatusCaption(shown.Text("telvane::TFollower", source));
            EXPECT_LE(status->x() + status->fontMetrics().horizontalAdvance(status->text()),
                      Form->width())
                << name << " " << status->text().toStdString();
        }
        auto* logRing = Find<QCheckBox>("LogRingFlag");
        EXPECT_LE(logRing->sizeHint().width(), logRing->width()) << name;
        for (const char* button : {"AboutButton", "ShowButton", "CheckButton", "WaitButton"}) {
            auto* b = Find<QPushButton>(button);
            EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()) + 12, b->width()) << button;
        }
        Program.reset();
    }
}

// Start at login writes the session's autostart entry for this executable
// and removes it again; a failure is reported and leaves the box as it was.
TEST_F(MainWindow, StartAtLoginWritesAndRemovesTheAutostartEntry) {
    const auto folder = ConfigHome->Path() / "autostart";
    const auto entry = folder / "jp.maruvo.Telvane.desktop";
    std::filesystem::remove_all(folder);
    Create();
    auto* action = Form->findChild<QAction*>("AutostartAction");
    ASSERT_NE(action, nullptr);
    EXPECT_FALSE(action->isChecked());
    action->trigger();
    EXPECT_NE(testing::ReadFile(entry).find(
                  "\nExec=" + QCoreApplication::applicationFilePath().toStdString() + "\n"),
              std::string::npos);
    Create();
    action = Form->findChild<QAction*>("AutostartAction");
    EXPECT_TRUE(action->isChecked());
    action->trigger();
    EXPECT_FALSE(std::filesystem::exists(entry));

    std::filesystem::remove_all(folder);
    testing::WriteFile(folder, "a file where the folder belongs");
    action->trigger();
    ASSERT_EQ(Closer.Boxes.size(), 1u);
    EXPECT_EQ(Closer.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_FALSE(action->isChecked());
    std::filesystem::remove(folder);

    const struct {
        const char* Path;
        const char* Exec;
    } paths[] = {
        {"/usr/bin/telvane", "/usr/bin/telvane"},
        {"/opt/my apps/tel$vane", R"("/opt/my apps/tel\\$vane")"},
        {R"(/a/50%\b"c)", R"("/a/50%%\\\\b\\"c")"},
    };
    for (const auto& p : paths) {
        EXPECT_EQ(DesktopExecValue(p.Path), p.Exec);
    }
}

// A notice does not wait for the user; a newer one takes the open one's place.
TEST_F(MainWindow, ANewerNoticeTakesThePlaceOfTheOpenOne) {
    Create();
    Form->ShowNotice("one");
    Form->ShowNotice("two");
    const auto boxes = Form->findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->text(), "two");
    EXPECT_TRUE(boxes[0]->isVisible() && !boxes[0]->isModal());
}

TEST_F(MainWindow, ClosingSavesAllSeventeenValues) {
    StoreSettings("Port=COM1\nLogRing=2\n");
    Adapter.Ring("0312345678");
    Create();
    ASSERT_TRUE(WaitForStatus(texts::kStatusNumberChanged));
    Form->close();
    const std::string file = testing::ReadFile(ConfigFile());
    for (const char* key : {"Port=COM1", "Interval=", "DateTime=", "LastDateTime=", "LogRing=1",
                            "Magic0=", "Magic9=", "Dream=0"}) {
        EXPECT_NE(file.find(key), std::string::npos) << key << "\n" << file;
    }
    EXPECT_NE(file.find("RECEIVE CALLING PARTY   = 0312345678"), std::string::npos) << file;
}

// A save that fails at close is shown in a box (and on stderr, see the e2e
// test of a signal); no label cuts its text, before and after a result.
TEST_F(MainWindow, FailedSaveAtCloseIsShownAndLabelsShowTheirWholeText) {
    std::filesystem::create_directories(ConfigFile()); // no file can be written there
    Create();
    const auto expectFits = [this] {
        for (QLabel* label : Form->findChildren<QLabel*>()) {
            const QSize text = label->fontMetrics().size(0, label->text());
            EXPECT_TRUE(label->width() >= text.width() && label->height() >= text.height())
                << label->objectName().toStdString();
        }
    };
    EXPECT_EQ(Caption("TimeLabel"), "1998/01/01 00:00:00"); // no port: it stays
    expectFits();
    Form->SetTimeCaption("2026/12/31 23:59:59");
    Form->SetStatusCaption(Utf8FromShiftJis(texts::kStatusNumberChanged));
    expectFits();
    Form->close();
    ASSERT_EQ(Closer.Boxes.size(), 1u);
    EXPECT_EQ(Closer.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_TRUE(Closer.Boxes[0].Text.startsWith(Decoded(texts::kSettingsNotSaved)));
}

} // namespace
} // namespace telvane

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    telvane::testing::TTempFolder configHome;
    telvane::ConfigHome = &configHome;
    ::setenv("XDG_CONFIG_HOME", configHome.Path().c_str(), 1);
    // Also when the test list is asked for outside CTest's environment.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
