// "Who called" in the main window and the call history, under Qt's
// offscreen platform, with a simulated adapter on a pseudo-terminal behind
// COM1 and real files for the phonebook and the call log.
#include "PtyAdapter.h"
#include "TempFolder.h"

#include "outputs/Spawn.h"
#include "store/IniSettingsStore.h"
#include "ui/MainForm.h"
#include "ui/callers/CallerGlance.h"
#include "ui/callers/CallersFeature.h"
#include "ui/callers/CallersPlaces.h"
#include "ui/callers/HistoryModel.h"
#include "ui/callers/HistoryWindow.h"
#include "ui/callers/WhoCalled.h"
#include "ui/outputs/DesktopNotifier.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
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
        Feature.reset();
        if (Form) {
            Form->Comm().Close();
        }
    }
    static std::filesystem::path Folder() { return ConfigHome->Path() / "Maruvo" / "Telvane"; }

    // The window with the feature, after its first result shows the caller.
    void Show(const std::string& caller) {
        Adapter.Ring(caller);
        Form = std::make_unique<TMainForm>();
        Feature = std::make_unique<TCallersFeature>(*Form);
        Form->AllFormCreated();
        Form->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Number()->text() == caller.c_str(); }, 5000));
    }
    QLabel* Number() { return Form->findChild<QLabel*>("NumberLabel"); }
    QLabel* Glance() { return Feature->Glance().Label(); }
    QString Shown() { return Glance()->isVisible() ? Glance()->text() : QString(); }

    tasim::TPtyAdapter Adapter;
    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<TCallersFeature> Feature;
};

TEST_F(Callers, GlanceShowsTheNameOrTheAreaAndNothingElse) {
    const struct {
        const char* Caller;
        bool Phonebook;
        const char* Shown;
        const char* InTooltip;
    } cases[] = {
        {"0312345678", false, "東京", "03-1234-5678"},
        // Written another way in the phonebook, and with a sub-address.
        {"0312345678/12", true, "山田太郎 (東京)", "03-1234-5678/12"},
        {"0451234567", true, "横浜", "045-123-4567"},
        {"P", true, "", "非通知"},
        {"12AB", true, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Caller);
        TearDown();
        SetUp();
        if (c.Phonebook) {
            WriteFile(Folder() / "phonebook.vcf", kYamadaCard);
        }
        ASSERT_NO_FATAL_FAILURE(Show(c.Caller));
        EXPECT_TRUE(QTest::qWaitFor([&] { return Shown() == QString::fromUtf8(c.Shown); }))
            << Shown().toStdString();
        EXPECT_TRUE(Number()->toolTip().contains(QString::fromUtf8(c.InTooltip)))
            << Number()->toolTip().toStdString();
        EXPECT_TRUE(Glance()->geometry().right() < 184 && Glance()->geometry().top() > 53);
    }
}

TEST_F(Callers, WithNothingToTellTheWindowLooksAsWithoutTheFeature) {
    ASSERT_NO_FATAL_FAILURE(Show("0312345678"));
    ASSERT_TRUE(Glance()->isVisible());
    // A number that does not parse: the window as it always was.
    Adapter.Ring("BUFFER EMPTY");
    Form->CheckButtonClick();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Number()->text() != "0312345678" && Number()->text() != "?"; }, 5000));
    const QImage with = Form->grab().toImage();
    EXPECT_TRUE(Number()->toolTip().isEmpty());
    Feature.reset();
    EXPECT_EQ(Form->grab().toImage(), with);
}

TEST_F(Callers, PhonebookEditsAndNamesShowWithoutRestart) {
    ASSERT_NO_FATAL_FAILURE(Show("0312345678"));
    ASSERT_EQ(Shown(), QString::fromUtf8("東京"));

    // The user's own file, replaced by renaming as editors do.
    const auto book = ConfigHome->Path() / "contacts.csv";
    WriteFile(book, "03(1234)5678,佐藤花子\n");
    TAddedSettings settings = Feature->Who().Settings();
    settings.Phonebook = book.string();
    Feature->Who().ApplySettings(settings);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown() == QString::fromUtf8("佐藤花子 (東京)"); }));
    WriteFile(ConfigHome->Path() / "next.csv", "0312345678,鈴木一郎\n");
    std::filesystem::rename(ConfigHome->Path() / "next.csv", book);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown().startsWith(QString::fromUtf8("鈴木")); }));

    // A broken file keeps the last good book and names file and line.
    WriteFile(Folder() / "phonebook.vcf", "BEGIN:VCARD\r\nFN:\0\r\n"s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Feature->Who().Problem().isEmpty(); }));
    EXPECT_TRUE(Feature->Who().Problem().contains("phonebook.vcf:2:"))
        << Feature->Who().Problem().toStdString();
    EXPECT_TRUE(Shown().startsWith(QString::fromUtf8("鈴木")));
    std::filesystem::remove(Folder() / "phonebook.vcf");

    // Naming the caller writes Telvane's own file, never the user's.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setTextValue(QString::fromUtf8("田中"));
        dialog->accept();
    });
    Feature->NameCaller(Form.get(), Form->Monitor().GetCallerNumber());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Shown() == QString::fromUtf8("田中 (東京)"); }));
    EXPECT_NE(ReadFile(Folder() / "phonebook.vcf").find("田中"), std::string::npos);
    EXPECT_EQ(ReadFile(book), "0312345678,鈴木一郎\n");
}

// A notification server that answers for one notification, 7.
class TNotificationServer final : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        return message.member() == "Notify" && bus.send(message.createReply(7u));
    }
    QString introspect(const QString&) const override { return {}; }
};

// A server on a private session bus that repeats the "name" action, as some
// do: one naming dialog, in front.
TEST_F(Callers, ARepeatedNameActionOpensOneDialogInFront) {
    const std::filesystem::path socket = ConfigHome->Path() / "bus";
    WriteFile(ConfigHome->Path() / "bus.conf",
              "<busconfig><type>session</type><listen>unix:path=" + socket.string() +
                  "</listen><policy context=\"default\"><allow send_destination=\"*\"/>"
                  "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n");
    std::string error;
    const std::unique_ptr<TChildProcess> daemon = SpawnProcess(
        {{"dbus-daemon", "--config-file=" + (ConfigHome->Path() / "bus.conf").string(), "--nofork"},
         {}},
        error);
    if (!daemon || !QTest::qWaitFor([&] { return std::filesystem::exists(socket); })) {
        GTEST_SKIP() << "no dbus-daemon: " << error;
    }
    const QByteArray address = "unix:path=" + QByteArray::fromStdString(socket.string());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QDBusConnection server = QDBusConnection::connectToBus(address, "server");
    TNotificationServer object;
    ASSERT_TRUE(server.registerVirtualObject("/org/freedesktop/Notifications", &object));
    ASSERT_TRUE(server.registerService("org.freedesktop.Notifications"));
    ASSERT_NO_FATAL_FAILURE(Show("0312345678"));

    TDesktopNotifier notifier;
    int asked = 0;
    QObject::connect(&notifier, &TDesktopNotifier::NameRequested, [&] { ++asked; });
    // As the program wires it.
    QObject::connect(&notifier, &TDesktopNotifier::NameRequested, [&](const QString& number) {
        Form->BringToFront();
        Feature->NameCaller(Form.get(), ToShiftJis(number));
    });
    QSignalSpy shown(&notifier, &TDesktopNotifier::Shown);
    notifier.Show("0312345678", "", "0312345678", true);
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
        server.send(signal << 7u << QStringLiteral("name"));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs >= 0; }, 20000));
    ASSERT_EQ(dialogs, 1);
    QInputDialog* dialog = Form->findChild<QInputDialog*>();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->isActiveWindow(); }));
    dialog->reject();
    QDBusConnection::disconnectFromBus("server");
    daemon->Kill();
}

TEST(History, NewestFirstWithCountsSearchAndFollowingTheLog) {
    std::filesystem::remove_all(ConfigHome->Path() / "Maruvo"); // no own phonebook
    testing::TTempFolder folder;
    const auto log = folder.Path() / "RingLog.txt";
    WriteFile(log, ",2026/03/01 09:00:00,0312345678\r\n"
                   "2026/03/01 09:00:00,2026/03/01 10:00:00,0451234567\r\n"
                   "damaged line\r\n"
                   "2026/03/01 10:00:00,2026/03/01 11:00:00,+81 3-1234-5678\r\n");
    WriteFile(folder.Path() / "book.csv", "0451234567,横浜商店\n");
    TIniSettingsStore store(folder.Path() / "settings.ini");
    TAddedSettings settings;
    settings.Phonebook = (folder.Path() / "book.csv").string();
    ASSERT_TRUE(SaveAddedSettings(store, TAddedSettings{}, settings));
    TWhoCalled who(store);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !who.Describe("0451234567").Name.isEmpty(); }));
    THistoryModel model(who, log);
    model.Refresh();
    EXPECT_EQ(model.rowCount(), 0); // read beside the window's thread
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.Counted(); }));

    auto row = [&](int r) {
        QStringList cells;
        for (int c = 0; c < THistoryModel::hcColumns; ++c) {
            cells << model.data(model.index(r, c), Qt::DisplayRole).toString();
        }
        return cells.join('|').toStdString();
    };
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.Skipped(), 1u);
    // The same number written two ways counts twice.
    EXPECT_EQ(row(0), "2026/03/01 11:00:00|03-1234-5678|東京|2");
    EXPECT_EQ(row(1), "2026/03/01 10:00:00|045-123-4567|横浜商店|1");
    EXPECT_EQ(row(2), "2026/03/01 09:00:00|03-1234-5678|東京|2");

    // Searching is done off the window's thread.
    const auto search = [&](const QString& text) {
        const int shown = model.rowCount();
        model.SetFilter(text);
        EXPECT_TRUE(text.isEmpty() || model.rowCount() == shown); // until it is done
        EXPECT_TRUE(QTest::qWaitFor([&] { return !model.Searching(); }));
        return model.rowCount();
    };
    ASSERT_EQ(search(QString::fromUtf8("商店")), 1);
    EXPECT_EQ(model.NumberAt(0), "0451234567");
    ASSERT_EQ(search("09:00"), 1);
    search({});

    // A call logged while the window is open comes on top.
    std::string more = ReadFile(log) + "2026/03/01 11:00:00,2026/03/01 12:00:00,0312345678\r\n";
    WriteFile(log, more);
    model.Refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 4 && model.Counted(); }));
    EXPECT_EQ(row(0), "2026/03/01 12:00:00|03-1234-5678|東京|3");
    EXPECT_EQ(row(3).back(), '3');
    // While a search shows, only the calls it finds come on top.
    ASSERT_EQ(search(QString::fromUtf8("東京")), 3);
    WriteFile(log, more + "2026/03/01 12:00:00,2026/03/01 13:00:00,0451234567\r\n" +
                       "2026/03/01 12:00:00,2026/03/01 13:11:00,0312345678\r\n");
    model.Refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 4; }));
    EXPECT_EQ(row(0), "2026/03/01 13:11:00|03-1234-5678|東京|4");
    search({});

    // The window's actions work on the selected call.
    std::string named;
    THistoryWindow window(who, log, [&](QWidget*, const std::string& number) { named = number; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Model().rowCount() == 6; }));
    window.Table()->selectRow(3);
    const QList<QAction*> actions = window.Table()->actions();
    ASSERT_EQ(actions.size(), 2);
    actions[0]->trigger();
    actions[1]->trigger();
    EXPECT_EQ(named, "+81 3-1234-5678");
    EXPECT_EQ(QApplication::clipboard()->text(), "+81 3-1234-5678");

    // A log replaced by a shorter one is read afresh.
    WriteFile(log, ",2026/03/02 09:00:00,0451234567\r\n");
    model.Refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 1 && model.Counted(); }));
    EXPECT_EQ(row(0), "2026/03/02 09:00:00|045-123-4567|横浜商店|1");
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
