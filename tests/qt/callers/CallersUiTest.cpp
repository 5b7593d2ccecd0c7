// "Who called" as the Qt window draws it, under the offscreen platform, with
// a simulated adapter on a pseudo-terminal behind COM1 and real files: the
// glance in its free row, the contacts files watched, one naming dialog, and
// the history window's actions. What is said of a caller is the service's
// (tests/service).
#include "Program.h"
#include "PtyAdapter.h"
#include "TempFolder.h"

#include "outputs/Spawn.h"
#include "qt/callers/Glance.h"
#include "qt/callers/HistoryModel.h"
#include "qt/callers/HistoryWindow.h"
#include "qt/outputs/Notifier.h"

#include <gtest/gtest.h>

#include <atomic>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace telvane {
namespace {

using namespace std::string_literals;
using testing::ReadFile;
using testing::WriteFile;

testing::TTempFolder* ConfigHome = nullptr;

// A notification server that answers for one notification, 7, and counts
// those that say the contacts cannot be read.
class TNotificationServer final : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        if (message.arguments().value(3).toString() == QString::fromUtf8("電話帳を読めません")) {
            ++Unreadable;
        }
        return message.member() == "Notify" && bus.send(message.createReply(7u));
    }
    QString introspect(const QString&) const override { return {}; }
    std::atomic<int> Unreadable{0};
};

const std::string kYamadaCard = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:山田太郎\r\n"
                                "TEL;TYPE=WORK:+81 3-1234-5678\r\nEND:VCARD\r\n";

class Callers : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(ConfigHome->Path() / "Maruvo");
        std::filesystem::create_directories(Folder());
        Adapter.LinkAs(Folder() / "ports", 1);
        WriteFile(ConfigHome->Path() / "Maruvo" / "Telvane.conf", "[1.0]\nPort=COM1\n");
    }
    void TearDown() override {
        Program.reset();
        if (Server.isConnected()) {
            QDBusConnection::disconnectFromBus("server");
        }
    }
    // One private session bus for the suite: the program's connection to the
    // session bus is made once.
    static void SetUpTestSuite() {
        const std::filesystem::path socket = ConfigHome->Path() / "bus";
        WriteFile(ConfigHome->Path() / "bus.conf",
                  "<busconfig><type>session</type><listen>unix:path=" + socket.string() +
                      "</listen><policy context=\"default\"><allow send_destination=\"*\"/>"
                      "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n");
        Bus = SpawnProcess(
            {{"dbus-daemon", "--config-file=" + (ConfigHome->Path() / "bus.conf").string(),
              "--nofork"},
             {}},
            BusError);
        BusUp = Bus && QTest::qWaitFor([&] { return std::filesystem::exists(socket); });
        if (BusUp) {
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QByteArray::fromStdString(socket));
        }
    }
    static void TearDownTestSuite() {
        if (Bus) {
            Bus->Kill();
        }
    }
    // The notification server on the bus; false without a bus.
    bool ServeNotifications() {
        if (!BusUp) {
            return false;
        }
        Server = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                                               "server");
        return Server.registerVirtualObject("/org/freedesktop/Notifications", &Notifications) &&
               Server.registerService("org.freedesktop.Notifications");
    }
    static std::filesystem::path Folder() { return ConfigHome->Path() / "Maruvo" / "Telvane"; }

    // The window with the feature, after its first result shows the caller.
    void Show(const std::string& caller) {
        Adapter.Ring(caller);
        Program = std::make_unique<testing::TProgram>();
        Form = &Program->Form;
        Program->Start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Number()->text() == caller.c_str(); }, 5000));
    }
    QLabel* Number() { return Form->findChild<QLabel*>("NumberLabel"); }
    QLabel* Glance() { return Form->findChild<QLabel*>("CallerGlance"); }
    QString Shown() { return Glance()->isVisible() ? Glance()->text() : QString(); }

    tasim::TPtyAdapter Adapter;
    std::unique_ptr<testing::TProgram> Program;
    TMainForm* Form = nullptr;
    QDBusConnection Server{QString()};
    TNotificationServer Notifications;
    static inline std::unique_ptr<TChildProcess> Bus;
    static inline std::string BusError;
    static inline bool BusUp = false;
};

// The glance sits in the free row and shows only when it has something to
// tell; with nothing to tell, the window is as it always was.
TEST_F(Callers, GlanceShowsInItsRowOnlyWithSomethingToTell) {
    WriteFile(Folder() / "phonebook.vcf", kYamadaCard);
    ASSERT_NO_FATAL_FAILURE(Show("0312345678"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown().startsWith(QString::fromUtf8("山田太郎")); }))
        << Shown().toStdString();
    EXPECT_TRUE(Number()->toolTip().contains(QString::fromUtf8("山田太郎")));
    EXPECT_TRUE(Glance()->geometry().right() < 184 && Glance()->geometry().top() > 53);
    Adapter.Ring("BUFFER EMPTY");
    Form->CheckButtonClick();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Number()->text() != "0312345678" && Number()->text() != "?"; }, 5000));
    EXPECT_FALSE(Glance()->isVisible());
    EXPECT_TRUE(Number()->toolTip().isEmpty());
}

// The window watches the contacts files: an edit shows without a restart,
// also when an editor renames a new file over the old one. Naming writes
// Telvane's own file, never the user's.
TEST_F(Callers, PhonebookEditsAndNamesShowWithoutRestart) {
    ASSERT_NO_FATAL_FAILURE(Show("0312345678"));
    const auto book = ConfigHome->Path() / "contacts.csv";
    WriteFile(book, "03(1234)5678,佐藤花子\n");
    TAddedSettings settings = Program->Service->Settings();
    settings.Phonebook = book.string();
    ASSERT_EQ(Program->Service->ChangeSettings(settings), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown().startsWith(QString::fromUtf8("佐藤花子")); }));
    WriteFile(ConfigHome->Path() / "next.csv", "0312345678,鈴木一郎\n");
    std::filesystem::rename(ConfigHome->Path() / "next.csv", book);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown().startsWith(QString::fromUtf8("鈴木")); }));

    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setTextValue(QString::fromUtf8("田中"));
        dialog->accept();
    });
    Form->NameCaller(Form, Program->Service->CallerNumber());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Shown().startsWith(QString::fromUtf8("田中")); }));
    EXPECT_NE(ReadFile(Folder() / "phonebook.vcf").find("田中"), std::string::npos);
    EXPECT_EQ(ReadFile(book), "0312345678,鈴木一郎\n");
}

// A server on a private session bus that repeats the "name" action, as some
// do: one naming dialog, in front.
TEST_F(Callers, ARepeatedNameActionOpensOneDialogInFront) {
    if (!ServeNotifications()) {
        GTEST_SKIP() << "no dbus-daemon: " << BusError;
    }
    ASSERT_NO_FATAL_FAILURE(Show("0312345678"));

    // The window's own notifier, as the program wires it.
    TNotifier& notifier = *Form->Notifier();
    int asked = 0;
    QObject::connect(&notifier, &TNotifier::NameRequested, [&] { ++asked; });
    QSignalSpy shown(&notifier, &TNotifier::Shown);
    notifier.Show("0312345678", "", "0312345678");
    ASSERT_TRUE(shown.wait());
    // Counted as the last request is handled: a dialog that waited in a loop
    // of its own would hold the count up.
    int dialogs = -1;
    QTimer count;
    QObject::connect(&count, &QTimer::timeout, [&] {
        if (asked == 20 && dialogs < 0) {
            dialogs = int(Form->findChildren<QInputDialog*>().size());
            for (QInputDialog* dialog : Form->findChildren<QInputDialog*>()) {
                dialog->setVisible(dialogs == 1);
            }
        }
    });
    count.start(10);
    for (int i = 0; i < 20; ++i) {
        QDBusMessage signal = QDBusMessage::createSignal(
            "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
        Server.send(signal << 7u << QStringLiteral("name"));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs >= 0; }, 20000));
    ASSERT_EQ(dialogs, 1);
    QInputDialog* dialog = Form->findChild<QInputDialog*>();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->isActiveWindow(); }));
    dialog->reject();
}

// A chosen file that cannot be read is notified once; the cards skipped in
// it later show at the history's foot and in the settings dialog.
TEST_F(Callers, SkippedCardsShowAtTheFootAndInTheSettingsAndAMissingFileIsNotifiedOnce) {
    if (!ServeNotifications()) {
        GTEST_SKIP() << "no dbus-daemon: " << BusError;
    }
    const auto book = ConfigHome->Path() / "contacts.vcf";
    std::filesystem::remove(book);
    WriteFile(ConfigHome->Path() / "Maruvo" / "Telvane.conf",
              "[1.0]\nPort=COM1\nPhonebook=" + book.string() + "\n");
    ASSERT_NO_FATAL_FAILURE(Show("0312345678"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Notifications.Unreadable > 0; }));
    WriteFile(book,
              "BEGIN:VCARD\r\nFN:Nul\r\nTEL:0612\0"s + "345678\r\nEND:VCARD\r\n" + kYamadaCard);
    const THistoryWindow& window = Form->ShowHistory();
    const QString skipped = QString::fromStdString(book.string() + ":3: ");
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Status()->text().contains(skipped); }))
        << window.Status()->text().toStdString();
    QString problems;
    QTimer::singleShot(0, [&problems] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        problems = dialog->findChild<QLabel*>("Problems")->text();
        dialog->close();
    });
    for (QAction* action : Form->ContextMenu()->actions()) {
        if (action->text() == QString::fromUtf8("設定...")) {
            action->trigger();
        }
    }
    EXPECT_TRUE(problems.contains(skipped)) << problems.toStdString();
    EXPECT_EQ(Notifications.Unreadable, 1);
}

// The history window's actions work on the selected call; it gives its
// memory back when it closes.
TEST_F(Callers, HistoryWindowNamesAndCopiesTheSelectedCall) {
    testing::TTempFolder folder;
    WriteFile(Folder() / "phonebook.vcf", kYamadaCard);
    ASSERT_NO_FATAL_FAILURE(Show("0312345678"));
    const auto log = Program->Service->Places().CallLog();
    WriteFile(log, ",2026/03/01 09:00:00,0312345678\r\n"
                   "2026/03/01 09:00:00,2026/03/01 10:00:00,+81 3-1234-5678\r\n");
    std::string named;
    THistoryWindow& window = Form->ShowHistory();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Model().rowCount() == 2; }));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window.Status()->text().startsWith(QString::fromUtf8("2 件の着信")); }));
    window.Table()->selectRow(0);
    const QList<QAction*> actions = window.Table()->actions();
    ASSERT_EQ(actions.size(), 2);
    actions[1]->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "+81 3-1234-5678");
    EXPECT_EQ(window.Model()
                  .data(window.Model().index(0, THistoryModel::hcWho), Qt::DisplayRole)
                  .toString()
                  .left(4),
              QString::fromUtf8("山田太郎"));
    window.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Program->Service->History() == nullptr; }));
}

} // namespace
} // namespace telvane

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    telvane::testing::TTempFolder configHome;
    telvane::ConfigHome = &configHome;
    ::setenv("XDG_CONFIG_HOME", configHome.Path().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    // Areas in Japanese, as a Japanese desktop shows them.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    return RUN_ALL_TESTS();
}
