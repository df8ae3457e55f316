// The web update: the page's META lines, the version rules and file names, and whole checks
// against a small HTTP server of the test's own on the loopback interface.
#include "ShellMessages.h"
#include "TempFolder.h"
#include "UnitAbout.h"
#include "UnitWebUpdate.h"
#include "qvWebUpdate.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

// ---- the page and the rules

TEST(WebPage, MetaLinesGiveTheTagsByTheirExactNames)
{
    const std::vector<std::string> lines = {
        R"(<META NAME="qvProduct" CONTENT="Rastrel">)",
        R"(<meta name="qvVersion" content="9.9">)",   // lower-case META NAME: not seen
        R"(<META NAME="qvVersion" content="2.1.0">)", // CONTENT in any case
        R"(<META NAME="qvDownload">)",                // no CONTENT: ignored
        R"(<META NAME="qvClientSideName" CONTENT="old.bin">)",
        R"(<META NAME="qvClientSideName" CONTENT="setup.bin">)", // a later line wins
        R"(<META NAME="qvUnknown" CONTENT="x">)",
    };
    const TWebPageInfo page = ParseWebPage(lines, TWebTagInfo{});
    EXPECT_EQ(page.ProductName, "Rastrel");
    EXPECT_EQ(page.Version, "2.1.0");
    EXPECT_EQ(page.Download, "");
    EXPECT_EQ(page.ClientFileName, "setup.bin");
}

struct TVersionCase {
    const char* Local;
    const char* Remote;
    TWebVersionFormat Format;
    std::optional<bool> Newer;
};

TEST(WebPage, VersionRules)
{
    using F = TWebVersionFormat;
    const std::vector<TVersionCase> cases = {
        {"1.2.3", "1.2.4", F::vfStandard, true},    {"1.10", "1.9", F::vfStandard, false},
        {"2", "2.0.1", F::vfStandard, true},        // a missing part counts as 0
        {"1.2.1", "1.2", F::vfStandard, false},     // never offers an older version
        {"3.6.1.0", "3.6.1", F::vfStandard, false}, // the same version written shorter
        {"1.2", "1.2.5", F::vfStandard, true},      {"1.0", "1.0", F::vfStandard, false},
        {"1.10", "1.9", F::vfString, true},         {"1.5", "1.25", F::vfNumber, false},
        {"1.5", "abc", F::vfNumber, std::nullopt},
    };
    for (const TVersionCase& c : cases) {
        SCOPED_TRACE(std::string(c.Local) + " / " + c.Remote);
        EXPECT_EQ(IsNewerVersion(c.Local, c.Remote, c.Format), c.Newer);
    }
}

TEST(WebPage, ClientFileNamesLoseEveryFolder)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"setup.bin", "setup.bin"},
        {"../../.bashrc", ".bashrc"},
        {"/etc/passwd", "passwd"},
        {"C:\\x\\setup.exe", "setup.exe"},
        {"..", ""},
        {".", ""},
        {"", ""},
        {"dir/", ""},
    };
    for (const auto& [name, safe] : cases)
        EXPECT_EQ(SafeClientFileName(name), safe) << name;
}

TEST(WebPage, AddressesGetAScheme)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"example.org/u.html", "http://example.org/u.html"},
        {"HTTP://example.org/u.html", "HTTP://example.org/u.html"},
        {"https://example.org/u.html", "https://example.org/u.html"},
    };
    for (const auto& [given, kept] : cases) {
        TWebProductInfo info;
        info.SetURL(given);
        EXPECT_EQ(info.URL(), kept);
    }
}

// ---- whole checks against a local server

// Answers each request by its path with the bytes the test gives; a path without an answer is
// never answered.
class TLocalServer : public QObject {
public:
    TLocalServer()
    {
        EXPECT_TRUE(Server.listen(QHostAddress::LocalHost));
        connect(&Server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = Server.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, this, [this, s] { Request(s); });
        });
    }
    std::string Url(const std::string& Path) const
    {
        return "http://127.0.0.1:" + std::to_string(Server.serverPort()) + Path;
    }
    // A whole response with its length.
    static QByteArray Ok(const QByteArray& Body, bool WithLength = true)
    {
        QByteArray r = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n";
        if (WithLength)
            r += "Content-Length: " + QByteArray::number(Body.size()) + "\r\n";
        return r + "\r\n" + Body;
    }
    std::map<std::string, std::function<QByteArray()>> Answers;
    std::vector<std::string> Requested;

private:
    void Request(QTcpSocket* S)
    {
        const QByteArray head = S->readAll();
        const QList<QByteArray> first = head.split('\r').value(0).split(' ');
        const std::string path = first.value(1).toStdString();
        Requested.push_back(path);
        auto a = Answers.find(path);
        if (a == Answers.end())
            return;
        S->write(a->second());
        S->flush();
        S->disconnectFromHost();
    }
    QTcpServer Server;
};

QByteArray Page(const std::string& Version, const std::string& Download = "/setup.bin",
                const std::string& Extra = {})
{
    return QByteArray::fromStdString("<HTML><HEAD>\r\n<META NAME=\"qvProduct\" CONTENT=\"Rastrel\">\r\n"
                                     "<META NAME=\"qvVersion\" CONTENT=\"" +
                                     Version +
                                     "\">\r\n"
                                     "<META NAME=\"qvDownload\" CONTENT=\"" +
                                     Download +
                                     "\">\r\n"
                                     "<META NAME=\"qvClientSideName\" CONTENT=\"../setup.bin\">\r\n" +
                                     Extra + "</HEAD></HTML>\r\n");
}

struct TCheck {
    std::vector<std::string> Events;
    std::optional<bool> Updated;
    std::vector<std::string> Opened;
};

// Runs one check with every event recorded; the user says Yes to the download and to opening it.
TCheck RunCheck(TLocalServer& Server, const std::string& Path, const std::string& Folder,
                const std::function<void(TWebUpdate&)>& Setup = {})
{
    TCheck check;
    TWebUpdate u;
    u.ProductInfo.SetURL(Server.Url(Path));
    u.ProductInfo.Version = "1.0.0";
    u.TargetFolder = Folder;
    u.TimeoutMs = 700;
    auto& e = check.Events;
    u.OnBeforeGetInfo = [&] { e.push_back("BeforeGetInfo"); };
    u.OnAfterGetInfo = [&] { e.push_back("AfterGetInfo"); };
    u.OnNoUpdateFound = [&] { e.push_back("NoUpdateFound"); };
    u.OnUpdateAvailable = [&](const std::string&, const std::string& New, bool& Can) {
        e.push_back("UpdateAvailable " + New);
        Can = true;
    };
    u.OnBeforeDownload = [&](const std::string&) { e.push_back("BeforeDownload"); };
    u.OnAfterDownload = [&](const std::string&, bool Ok) {
        e.push_back(Ok ? "AfterDownload ok" : "AfterDownload failed");
    };
    u.OnDownloadError = [&] { e.push_back("DownloadError"); };
    u.OnConfirmRun = [&](const std::string&) { return true; };
    u.OpenFile = [&](const std::string& Name) {
        check.Opened.push_back(Name);
        return true;
    };
    u.OnFinished = [&](bool Updated) { check.Updated = Updated; };
    if (Setup)
        Setup(u);
    EXPECT_TRUE(u.CheckForUpdate());
    EXPECT_FALSE(u.CheckForUpdate()) << "a second check while one runs";
    EXPECT_TRUE(QTest::qWaitFor([&] { return check.Updated.has_value(); }, 10000));
    return check;
}

using TEvents = std::vector<std::string>;

TEST(WebUpdate, ANewerVersionIsDownloadedIntoTheTargetFolderAndOpenedByTheDesktop)
{
    TLocalServer server;
    TTempFolder folder;
    const QByteArray setup(100000, 'x');
    server.Answers["/update.html"] = [] { return TLocalServer::Ok(Page("1.2")); };
    server.Answers["/setup.bin"] = [&] { return TLocalServer::Ok(setup); };
    const TCheck c = RunCheck(server, "/update.html", folder.Path());
    EXPECT_EQ(c.Events, (TEvents{"BeforeGetInfo", "AfterGetInfo", "UpdateAvailable 1.2", "BeforeDownload",
                                 "AfterDownload ok"}));
    EXPECT_EQ(c.Updated, true);
    // The page's "../setup.bin" lands inside the folder, whole.
    const std::string file = folder.Path() + "/setup.bin";
    ASSERT_EQ(c.Opened, std::vector<std::string>{file});
    EXPECT_EQ(std::filesystem::file_size(file), size_t(setup.size()));
}

TEST(WebUpdate, ADownloadTheUserDoesNotConfirmIsNeverOpened)
{
    TLocalServer server;
    TTempFolder folder;
    server.Answers["/update.html"] = [] { return TLocalServer::Ok(Page("1.2")); };
    server.Answers["/setup.bin"] = [] { return TLocalServer::Ok("data"); };
    const TCheck c = RunCheck(server, "/update.html", folder.Path(), [](TWebUpdate& u) {
        u.OnConfirmRun = [](const std::string&) { return false; };
    });
    EXPECT_EQ(c.Updated, true);
    EXPECT_TRUE(c.Opened.empty());
}

TEST(WebUpdate, EveryFailureEndsTheCheckWithItsEventAndNothingOpened)
{
    struct TCase {
        const char* Name;
        std::function<void(TLocalServer&)> Serve;
        const char* Path;
        TEvents Events;
    };
    const TEvents readError = {"BeforeGetInfo", "DownloadError"};
    const TEvents downloadFailed = {"BeforeGetInfo",  "AfterGetInfo",         "UpdateAvailable 1.2",
                                    "BeforeDownload", "AfterDownload failed", "DownloadError"};
    const std::vector<TCase> cases = {
        {"the same version",
         [](TLocalServer& s) { s.Answers["/u"] = [] { return TLocalServer::Ok(Page("1.0")); }; },
         "/u",
         {"BeforeGetInfo", "AfterGetInfo", "NoUpdateFound"}},
        {"a damaged page without product or version",
         [](TLocalServer& s) { s.Answers["/u"] = [] { return TLocalServer::Ok("<html>\x01\x02 garbage"); }; },
         "/u",
         {"BeforeGetInfo", "AfterGetInfo", "DownloadError"}},
        {"a page without a length is read to its end",
         [](TLocalServer& s) { s.Answers["/u"] = [] { return TLocalServer::Ok(Page("0.9"), false); }; },
         "/u",
         {"BeforeGetInfo", "AfterGetInfo", "NoUpdateFound"}},
        {"a server's redirect loop",
         [](TLocalServer& s) {
             s.Answers["/loop"] = [] {
                 return QByteArray("HTTP/1.0 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n");
             };
         },
         "/loop", readError},
        {"pages that name each other",
         [](TLocalServer& s) {
             s.Answers["/a"] = [] {
                 return TLocalServer::Ok(
                     Page("1.2", "/x", "<META NAME=\"qvRedirection\" CONTENT=\"/b\">\r\n"));
             };
             s.Answers["/b"] = [] {
                 return TLocalServer::Ok(
                     Page("1.2", "/x", "<META NAME=\"qvRedirection\" CONTENT=\"/a\">\r\n"));
             };
         },
         "/a", readError},
        {"a huge page",
         [](TLocalServer& s) { s.Answers["/u"] = [] { return TLocalServer::Ok(QByteArray(3 << 20, 'a')); }; },
         "/u", readError},
        {"a huge page without a length",
         [](TLocalServer& s) {
             s.Answers["/u"] = [] { return TLocalServer::Ok(QByteArray(3 << 20, 'a'), false); };
         },
         "/u", readError},
        {"a server that never answers", [](TLocalServer&) {}, "/silent", readError},
        {"a download without a length",
         [](TLocalServer& s) {
             s.Answers["/u"] = [] { return TLocalServer::Ok(Page("1.2")); };
             s.Answers["/setup.bin"] = [] { return TLocalServer::Ok("data", false); };
         },
         "/u", downloadFailed},
        {"a download shorter than announced",
         [](TLocalServer& s) {
             s.Answers["/u"] = [] { return TLocalServer::Ok(Page("1.2")); };
             s.Answers["/setup.bin"] = [] {
                 return QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nshort");
             };
         },
         "/u", downloadFailed},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TLocalServer server;
        TTempFolder folder;
        c.Serve(server);
        const TCheck check = RunCheck(server, c.Path, folder.Path());
        EXPECT_EQ(check.Events, c.Events);
        EXPECT_EQ(check.Updated, false);
        EXPECT_TRUE(check.Opened.empty());
        // A failed download leaves no file behind.
        EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/setup.bin"));
    }
}

TEST(WebUpdate, NoServerAtAllIsAReadError)
{
    quint16 port = 0;
    {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        port = closed.serverPort();
    }
    TCheck check;
    TWebUpdate u;
    u.ProductInfo.SetURL("http://127.0.0.1:" + std::to_string(port) + "/update.html");
    u.OnDownloadError = [&] { check.Events.push_back("DownloadError"); };
    u.OnFinished = [&](bool Updated) { check.Updated = Updated; };
    ASSERT_TRUE(u.CheckForUpdate());
    ASSERT_TRUE(QTest::qWaitFor([&] { return check.Updated.has_value(); }, 10000));
    EXPECT_EQ(check.Events, TEvents{"DownloadError"});
}

TEST(WebUpdate, AnExistingFileIsKeptUnlessOverwriteIsAllowed)
{
    TLocalServer server;
    TTempFolder folder;
    server.Answers["/u"] = [] { return TLocalServer::Ok(Page("1.2")); };
    server.Answers["/setup.bin"] = [] { return TLocalServer::Ok("new"); };
    std::ofstream(folder.Path() + "/setup.bin") << "old";
    const TCheck kept =
        RunCheck(server, "/u", folder.Path(), [](TWebUpdate& u) { u.Options &= ~uoOverwrite; });
    EXPECT_EQ(kept.Events.back(), "DownloadError");
    std::ifstream in(folder.Path() + "/setup.bin");
    std::string text;
    in >> text;
    EXPECT_EQ(text, "old");
}

// The program's own check with its window: the page is the test's server's.
struct TUpdateWindow : ::testing::Test {
    TLocalServer Server;
    QWidget Owner;
    std::vector<TMessageRequest> Boxes;
    TMsgResult Answer = TMsgResult::No;
    void SetUp() override
    {
        ::setenv("RASTREL_UPDATE_URL", Server.Url("/update.html").c_str(), 1);
        SetMessageAnswerer([this](const TMessageRequest& R) {
            Boxes.push_back(R);
            return R.Buttons == TMsgButtons::Ok ? TMsgResult::Ok : Answer;
        });
    }
    void TearDown() override
    {
        SetMessageAnswerer(nullptr);
        ::unsetenv("RASTREL_UPDATE_URL");
    }
};

TEST_F(TUpdateWindow, UpToDateIsShownAWhileThenTheWindowGoes)
{
    const std::string running = GetFileInfo("FileVersion");
    Server.Answers["/update.html"] = [&] { return TLocalServer::Ok(Page(running)); };
    QPointer<TWebUpdate> update = RunWebUpdate(&Owner, false);
    ASSERT_TRUE(update);
    auto* window = Owner.findChild<TFrmWebUpdate*>();
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Status()->text().isEmpty(); }, 5000));
    EXPECT_TRUE(window->Status()->text().startsWith("Rastrel"));
    EXPECT_NE(window->Info(2)->text().toStdString().find(running), std::string::npos);
    QTest::qWait(1000);
    EXPECT_TRUE(update) << "still readable after a second";
    EXPECT_TRUE(QTest::qWaitFor([&] { return update.isNull(); }, 5000));
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(TUpdateWindow, NoToTheNewVersionDownloadsNothing)
{
    Server.Answers["/update.html"] = [] { return TLocalServer::Ok(Page("999.0")); };
    Server.Answers["/setup.bin"] = [] { return TLocalServer::Ok("data"); };
    QPointer<TWebUpdate> update = RunWebUpdate(&Owner, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return update.isNull(); }, 5000));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Buttons, TMsgButtons::YesNo);
    EXPECT_EQ(Server.Requested, std::vector<std::string>{"/update.html"});
}

TEST_F(TUpdateWindow, TheBarFollowsTheDownloadAndOnlyAWholeFileIsAnnounced)
{
    TTempFolder folder;
    Answer = TMsgResult::Yes;
    Server.Answers["/update.html"] = [] { return TLocalServer::Ok(Page("999.0")); };
    Server.Answers["/setup.bin"] = [] { return TLocalServer::Ok(QByteArray(300000, 'x')); };
    TWebUpdate* update = RunWebUpdate(&Owner, false);
    update->TargetFolder = folder.Path();
    std::vector<std::string> opened;
    update->OpenFile = [&](const std::string& Name) {
        opened.push_back(Name);
        return true;
    };
    bool ended = false;
    update->OnTerminate = [&] { ended = true; };
    auto* bar = Owner.findChild<TFrmWebUpdate*>()->Progress();
    int largest = 0;
    auto progress = update->OnDownload;
    update->OnDownload = [&](int64_t Total, int64_t Received) {
        progress(Total, Received);
        EXPECT_EQ(bar->maximum(), 300000);
        largest = std::max(largest, bar->value());
    };
    QPointer<TWebUpdate> watched = update;
    ASSERT_TRUE(QTest::qWaitFor([&] { return watched.isNull(); }, 5000));
    EXPECT_EQ(largest, 300000);
    // The update question, the file's place, the download done, then the question to open it.
    ASSERT_EQ(Boxes.size(), 4u);
    EXPECT_EQ(Boxes[3].Buttons, TMsgButtons::YesNo);
    EXPECT_EQ(opened, std::vector<std::string>{folder.Path() + "/setup.bin"});
    EXPECT_TRUE(ended);
}

TEST_F(TUpdateWindow, AnAutomaticCheckThatFindsNothingShowsNothing)
{
    struct TCase {
        const char* Name;
        std::function<QByteArray()> Page;
    };
    const std::vector<TCase> cases = {
        {"the same version", [] { return TLocalServer::Ok(Page(GetFileInfo("FileVersion"))); }},
        {"a damaged page", [] { return TLocalServer::Ok("<html>"); }},
        {"no answer but a refusal", nullptr},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Boxes.clear();
        Server.Answers.clear();
        if (c.Page)
            Server.Answers["/update.html"] = c.Page;
        else
            ::setenv("RASTREL_UPDATE_URL", "http://127.0.0.1:1/update.html", 1);
        AutoUpdateDue = true;
        QPointer<TWebUpdate> update = RunWebUpdate(&Owner, true);
        EXPECT_FALSE(AutoUpdateDue);
        if (!update)
            continue; // the system says there is no network: nothing at all
        QPointer<TFrmWebUpdate> window = Owner.findChild<TFrmWebUpdate*>();
        bool shown = false;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                shown = shown || (window && window->isVisible());
                return update.isNull();
            },
            5000));
        EXPECT_FALSE(shown);
        EXPECT_TRUE(Boxes.empty());
    }
}

} // namespace
