#include "qvWebUpdate.h"

#include "QVFormat.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

std::string Upper(std::string S)
{
    std::transform(S.begin(), S.end(), S.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return S;
}

bool StartsWithNoCase(const std::string& S, const std::string& Prefix)
{
    return S.size() >= Prefix.size() && Upper(S.substr(0, Prefix.size())) == Upper(Prefix);
}

// The text from From up to the next double quote within 255 characters; none without one.
std::optional<std::string> Quoted(const std::string& Line, size_t From)
{
    if (From > Line.size())
        return std::nullopt;
    const size_t end = Line.find('"', From);
    if (end == std::string::npos || end - From > 255)
        return std::nullopt;
    return Line.substr(From, end - From);
}

// A dotted part as an integer, 0 for no number.
int64_t PartValue(const std::string& Part)
{
    int64_t v = 0;
    const auto [p, ec] = std::from_chars(Part.data(), Part.data() + Part.size(), v);
    return ec == std::errc() && p == Part.data() + Part.size() ? v : 0;
}

std::vector<int64_t> DottedParts(const std::string& Version)
{
    std::vector<int64_t> parts;
    size_t start = 0;
    while (true) {
        const size_t dot = Version.find('.', start);
        parts.push_back(
            PartValue(Version.substr(start, dot == std::string::npos ? std::string::npos : dot - start)));
        if (dot == std::string::npos)
            return parts;
        start = dot + 1;
    }
}

std::vector<std::string> SplitLines(const QByteArray& Bytes)
{
    std::vector<std::string> lines;
    std::string line;
    for (qsizetype i = 0; i < Bytes.size(); ++i) {
        const char c = Bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < Bytes.size() && Bytes[i + 1] == '\n')
                ++i;
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

} // namespace

void TWebProductInfo::SetURL(const std::string& Address)
{
    FURL = StartsWithNoCase(Address, "http://") || StartsWithNoCase(Address, "https://")
               ? Address
               : "http://" + Address;
}

TWebPageInfo ParseWebPage(const std::vector<std::string>& Lines, const TWebTagInfo& Tags)
{
    TWebPageInfo page;
    const std::vector<std::pair<const std::string*, std::string*>> fields = {
        {&Tags.Author, &page.Author},
        {&Tags.Email, &page.Email},
        {&Tags.ClientFileName, &page.ClientFileName},
        {&Tags.Download, &page.Download},
        {&Tags.ProductName, &page.ProductName},
        {&Tags.Redirection, &page.Redirection},
        {&Tags.RunParameters, &page.RunParameters},
        {&Tags.Version, &page.Version},
    };
    for (const std::string& line : Lines) {
        const size_t meta = line.find("META NAME");
        if (meta == std::string::npos)
            continue;
        // Past "META NAME", the equals sign and the opening quote.
        const std::optional<std::string> tag = Quoted(line, meta + 11);
        if (!tag)
            continue;
        const size_t content = Upper(line).find("CONTENT=");
        if (content == std::string::npos)
            continue;
        const std::optional<std::string> value = Quoted(line, content + 9);
        if (!value)
            continue;
        for (const auto& [name, field] : fields)
            if (*tag == *name)
                *field = *value;
    }
    return page;
}

std::optional<bool> IsNewerVersion(const std::string& Local, const std::string& Remote,
                                   TWebVersionFormat Format)
{
    switch (Format) {
    case TWebVersionFormat::vfString:
        return Remote > Local;
    case TWebVersionFormat::vfNumber: {
        const std::optional<double> l = ParseUserNumber(Local), r = ParseUserNumber(Remote);
        if (!l || !r)
            return std::nullopt;
        return *r > *l;
    }
    case TWebVersionFormat::vfStandard:
    default: {
        const std::vector<int64_t> l = DottedParts(Local), r = DottedParts(Remote);
        for (size_t i = 0; i < std::max(l.size(), r.size()); ++i) {
            const int64_t a = i < l.size() ? l[i] : 0, b = i < r.size() ? r[i] : 0;
            if (a != b)
                return b > a;
        }
        return false;
    }
    }
}

std::string SafeClientFileName(const std::string& Name)
{
    // Both kinds of separator: the page is written for any system.
    const size_t slash = Name.find_last_of("/\\");
    std::string base = slash == std::string::npos ? Name : Name.substr(slash + 1);
    if (base.empty() || base == "." || base == "..")
        return {};
    return base;
}

TWebUpdate::TWebUpdate(QObject* Parent) : QObject(Parent), FNet(new QNetworkAccessManager(this))
{
    OpenFile = [](const std::string& FileName) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(FileName)));
    };
}

TWebUpdate::~TWebUpdate()
{
    // No event reaches a caller that is going away.
    OnFinished = nullptr;
    Abort();
}

bool TWebUpdate::CheckForUpdate()
{
    if (FBusy)
        return false;
    FBusy = true;
    FPage = {};
    if (OnBeforeGetInfo)
        OnBeforeGetInfo();
    GetInfo(ProductInfo.URL(), 0);
    return true;
}

void TWebUpdate::Abort()
{
    if (FReply) {
        QNetworkReply* reply = std::exchange(FReply, nullptr);
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (FFile)
        FFile->cancelWriting();
    FFile.reset();
    if (FBusy)
        Finish(false);
}

void TWebUpdate::HttpGet(const std::string& Address, bool ToFile,
                         std::function<void(std::optional<QByteArray>)> Done)
{
    QUrl url(QString::fromStdString(Address));
    // An address without a host takes the host of the update page.
    if (url.host().isEmpty())
        url = QUrl(QString::fromStdString(ProductInfo.URL())).resolved(url);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, "TqvWebUpdate");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setTransferTimeout(TimeoutMs);
    FReply = FNet->get(request);
    auto body = std::make_shared<QByteArray>();
    auto received = std::make_shared<int64_t>(0);
    const int64_t cap = ToFile ? MaxDownloadBytes : MaxPageBytes;
    QNetworkReply* reply = FReply;
    auto fail = [this, reply, Done] {
        if (FReply != reply)
            return;
        FReply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        Done(std::nullopt);
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [=, this] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > cap)
            fail();
    });
    connect(reply, &QNetworkReply::readyRead, this, [=, this] {
        const QByteArray chunk = reply->readAll();
        *received += chunk.size();
        if (*received > cap) {
            fail();
            return;
        }
        if (ToFile) {
            if (!FFile || FFile->write(chunk) != chunk.size()) {
                fail();
                return;
            }
        } else {
            body->append(chunk);
        }
        if (OnDownload && ToFile)
            OnDownload(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(), *received);
    });
    connect(reply, &QNetworkReply::finished, this, [=, this] {
        if (FReply != reply)
            return;
        FReply = nullptr;
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError) {
            Done(std::nullopt);
            return;
        }
        const QByteArray rest = reply->readAll();
        *received += rest.size();
        if (*received > cap) {
            Done(std::nullopt);
            return;
        }
        if (ToFile) {
            // A file must come whole: with its length announced and every byte of it received.
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            if (!FFile || FFile->write(rest) != rest.size() || !length.isValid() ||
                length.toLongLong() != *received) {
                Done(std::nullopt);
                return;
            }
            Done(QByteArray());
            return;
        }
        body->append(rest);
        if (body->isEmpty()) {
            Done(std::nullopt);
            return;
        }
        Done(*body);
    });
}

void TWebUpdate::GetInfo(const std::string& Address, int Hops)
{
    HttpGet(Address, false, [this, Hops](std::optional<QByteArray> Body) {
        if (!Body) {
            Failed();
            return;
        }
        const TWebPageInfo page = ParseWebPage(SplitLines(*Body), TagInfo);
        if (!page.Redirection.empty()) {
            // A page that names another page: followed a bounded number of times.
            if (Hops >= MaxRedirects) {
                Failed();
                return;
            }
            GetInfo(page.Redirection, Hops + 1);
            return;
        }
        FPage = page;
        InfoRead();
    });
}

void TWebUpdate::InfoRead()
{
    if (OnAfterGetInfo)
        OnAfterGetInfo();
    if (FPage.ProductName.empty() || FPage.Version.empty()) {
        Failed();
        return;
    }
    const std::optional<bool> newer =
        IsNewerVersion(ProductInfo.Version, FPage.Version, ProductInfo.VersionFormat);
    if (!newer || !*newer) {
        if (OnNoUpdateFound)
            OnNoUpdateFound();
        Finish(false);
        return;
    }
    bool canUpdate = true;
    if (OnUpdateAvailable)
        OnUpdateAvailable(ProductInfo.Version, FPage.Version, canUpdate);
    if (!canUpdate) {
        Finish(false);
        return;
    }
    Download();
}

void TWebUpdate::Download()
{
    const std::string base = SafeClientFileName(FPage.ClientFileName);
    if (base.empty() || FPage.Download.empty()) {
        Failed();
        return;
    }
    // The user's download folder keeps the file past a restart; the temporary folder without one.
    QString folder = QString::fromStdString(TargetFolder);
    if (TargetFolder.empty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    FLocalFile = QDir(folder).filePath(QString::fromStdString(base)).toStdString();
    if (OnGetClientFileName)
        OnGetClientFileName(FLocalFile);
    if (QFileInfo::exists(QString::fromStdString(FLocalFile))) {
        bool overwrite = Options & uoOverwrite;
        if (OnClientFileExists)
            OnClientFileExists(FLocalFile, overwrite);
        if (!overwrite) {
            Failed();
            return;
        }
    }
    // The old file stays until the new one is whole.
    FFile = std::make_unique<QSaveFile>(QString::fromStdString(FLocalFile));
    if (!FFile->open(QIODevice::WriteOnly)) {
        FFile.reset();
        Failed();
        return;
    }
    if (OnBeforeDownload)
        OnBeforeDownload(FLocalFile);
    HttpGet(FPage.Download, true, [this](std::optional<QByteArray> Body) { Downloaded(Body.has_value()); });
}

void TWebUpdate::Downloaded(bool Succeeded)
{
    if (Succeeded)
        Succeeded = FFile && FFile->commit();
    else if (FFile)
        FFile->cancelWriting();
    FFile.reset();
    if (OnAfterDownload)
        OnAfterDownload(FLocalFile, Succeeded);
    if (!Succeeded) {
        Failed();
        return;
    }
    // The new file is opened only when the user says so, and then by the desktop's handler.
    if ((Options & uoRunUpdate) && OnConfirmRun && OnConfirmRun(FLocalFile)) {
        if (!OpenFile || !OpenFile(FLocalFile)) {
            if (OnCannotExecute)
                OnCannotExecute();
        } else if ((Options & uoTerminate) && OnTerminate) {
            OnTerminate();
        }
    }
    Finish(true);
}

void TWebUpdate::Failed()
{
    if (OnDownloadError)
        OnDownloadError();
    Finish(false);
}

void TWebUpdate::Finish(bool Updated)
{
    FBusy = false;
    if (OnFinished)
        OnFinished(Updated);
}
