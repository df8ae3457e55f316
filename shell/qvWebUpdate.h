#pragma once
// The web update: reads the maker's update page over HTTP(S), takes the product's facts from its
// META lines, compares the page's version with the running one and, when the user agrees,
// downloads the new file. Everything runs on Qt's network access in the background: the window
// stays alive, each transfer has a timeout, redirections are bounded and what is read is capped.
// The component shows nothing itself: it reports each step through its events.
#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

enum class TWebVersionFormat : uint8_t { vfStandard, vfString, vfNumber };

struct TWebProductInfo {
    // "http://" is put in front of an address that starts with neither "http://" nor "https://".
    void SetURL(const std::string& Address);
    const std::string& URL() const { return FURL; }
    std::string Version = "1.0";
    TWebVersionFormat VersionFormat = TWebVersionFormat::vfStandard;

private:
    std::string FURL;
};

// The names of the page's META tags.
struct TWebTagInfo {
    std::string Author = "qvAuthor";
    std::string Email = "qvEmail";
    std::string ClientFileName = "qvClientSideName";
    std::string Download = "qvDownload";
    std::string ProductName = "qvProduct";
    std::string Redirection = "qvRedirection";
    std::string RunParameters = "qvRunParameters";
    std::string Version = "qvVersion";
};

// The facts a page gives, by tag.
struct TWebPageInfo {
    std::string Author, Email, ClientFileName, Download, ProductName, Redirection, RunParameters, Version;
};

// The META lines of a page: a line holding "META NAME" (this case) names a tag between the
// quotes that follow; its value is between the quotes after "CONTENT=" (any case) on the same
// line. A line without "CONTENT=" and a tag not in Tags are ignored; a later line wins.
TWebPageInfo ParseWebPage(const std::vector<std::string>& Lines, const TWebTagInfo& Tags);
// True when Remote is newer than Local by the rule; none when a version is no number (vfNumber).
// vfStandard compares dotted integers part by part, a missing part counting as 0.
std::optional<bool> IsNewerVersion(const std::string& Local, const std::string& Remote,
                                   TWebVersionFormat Format);
// The file name a page asks for, without any folder; empty when it is none ("", ".", "..").
std::string SafeClientFileName(const std::string& Name);

enum TWebUpdateOption : uint8_t { uoRunUpdate = 1, uoTerminate = 2, uoOverwrite = 4 };

class TWebUpdate : public QObject {
public:
    explicit TWebUpdate(QObject* Parent = nullptr);
    ~TWebUpdate() override;

    TWebProductInfo ProductInfo;
    TWebTagInfo TagInfo;
    uint8_t Options = uoRunUpdate | uoTerminate;
    // The folder the download goes to; the user's download folder when it is no folder.
    std::string TargetFolder;
    static constexpr const char* Version = "1.21";

    // Bounds of every check: the longest wait without a byte, the redirections followed (the
    // server's and the page's own each), the size of a page and of a download.
    int TimeoutMs = 15000;
    int MaxRedirects = 5;
    int64_t MaxPageBytes = 1 << 20;
    int64_t MaxDownloadBytes = int64_t(1) << 30;

    // Starts a check; false when one is running already. The events report what happens and
    // OnFinished ends every check: true when a newer version was downloaded.
    bool CheckForUpdate();
    // Stops the check at once; OnFinished(false) follows.
    void Abort();
    bool Busy() const { return FBusy; }

    const TWebPageInfo& Page() const { return FPage; }
    const std::string& ClientFile() const { return FLocalFile; }

    // ---- events
    std::function<void(const std::string& FileName)> OnBeforeDownload;
    // After a download, successful or not.
    std::function<void(const std::string& FileName, bool Succeeded)> OnAfterDownload;
    std::function<void(const std::string& Actual, const std::string& New, bool& CanUpdate)> OnUpdateAvailable;
    std::function<void(std::string& FileName)> OnGetClientFileName;
    std::function<void(const std::string& FileName, bool& Overwrite)> OnClientFileExists;
    std::function<void()> OnBeforeGetInfo;
    std::function<void()> OnAfterGetInfo;
    std::function<void()> OnCannotExecute;
    std::function<void()> OnNoUpdateFound;
    std::function<void(int64_t Total, int64_t Received)> OnDownload;
    std::function<void()> OnDownloadError;
    // The downloaded file may be opened: true when the user says so. Without it nothing is opened.
    std::function<bool(const std::string& FileName)> OnConfirmRun;
    // Opens the downloaded file with the desktop's handler; true when it started.
    std::function<bool(const std::string& FileName)> OpenFile;
    // The program is asked to end after the new version started.
    std::function<void()> OnTerminate;
    std::function<void(bool Updated)> OnFinished;

private:
    void GetInfo(const std::string& Address, int Hops);
    // The page is read: its facts checked, its version compared, the user asked.
    void InfoRead();
    void Download();
    void Downloaded(bool Succeeded);
    void Finish(bool Updated);
    void Failed();
    // A GET of Address; Done gets the body (to memory) or nothing (to FFile), or none on failure.
    void HttpGet(const std::string& Address, bool ToFile,
                 std::function<void(std::optional<QByteArray>)> Done);

    QNetworkAccessManager* FNet;
    QNetworkReply* FReply = nullptr;
    std::unique_ptr<QSaveFile> FFile;
    TWebPageInfo FPage;
    std::string FLocalFile;
    bool FBusy = false;
};
