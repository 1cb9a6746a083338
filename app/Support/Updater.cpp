#include "Support/Updater.h"

#include "Support/AppL10n.h"
#include "Support/BundleInfo.h"
#include "Support/UpdateDialog.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <QCoro/QCoroNetworkReply>

#include <memory>

namespace kestrivane {

namespace {

struct DeleteLater {
    void operator()(QObject *object) const { object->deleteLater(); }
};

} // namespace

UpdateChecker::Options UpdateChecker::defaultOptions()
{
    Options options;
    const QString overridden = qEnvironmentVariable("KESTRIVANE_APPCAST_URL");
    options.feedURL = QUrl(overridden.isEmpty() ? QStringLiteral(KESTRIVANE_APPCAST_URL) : overridden);
    options.currentVersion = BundleInfo::main().shortVersion();
    return options;
}

UpdateChecker::UpdateChecker(Options options, QObject *parent)
    : QObject(parent), options_(std::move(options)), network_(new QNetworkAccessManager(this))
{
}

UpdateChecker::~UpdateChecker()
{
    const QList<QNetworkReply *> replies = network_->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies)
        reply->abort();
}

QCoro::Task<std::optional<AppcastItem>> UpdateChecker::check()
{
    const QByteArray feed = co_await fetchFeed();
    co_return newestUpdate(parseAppcast(feed), options_.currentVersion);
}

QCoro::Task<QByteArray> UpdateChecker::fetchFeed()
{
    const QString scheme = options_.feedURL.scheme();
    if (!options_.feedURL.isValid() || (scheme != u"https" && scheme != u"http"))
        throw UpdateError(AppL10n::format(QStringLiteral("update_error_network"), options_.feedURL.toString()));

    QNetworkRequest request(options_.feedURL);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Kestrivane/%1").arg(BundleInfo::main().shortVersion()));

    bool timedOut = false;
    bool tooLarge = false;
    const qint64 limit = options_.maxFeedBytes;
    std::unique_ptr<QNetworkReply, DeleteLater> reply(network_->get(request));
    // The connections below end with `guard`, before the flags they write go away.
    QTimer guard;
    guard.setSingleShot(true);
    QNetworkReply *r = reply.get();
    connect(&guard, &QTimer::timeout, r, [r, &timedOut] {
        timedOut = true;
        r->abort();
    });
    connect(r, &QNetworkReply::metaDataChanged, &guard, [r, limit, &tooLarge] {
        const QVariant length = r->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limit) {
            tooLarge = true;
            r->abort();
        }
    });
    connect(r, &QNetworkReply::downloadProgress, &guard, [r, limit, &tooLarge](qint64 received, qint64) {
        if (received > limit && !tooLarge) {
            tooLarge = true;
            r->abort();
        }
    });
    guard.start(options_.timeout);

    co_await r;
    guard.stop();

    if (timedOut)
        throw UpdateError(AppL10n::text(QStringLiteral("update_error_timeout")));
    if (tooLarge)
        throw UpdateError(AppL10n::text(QStringLiteral("update_error_too_large")));
    const QVariant status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299))
        throw UpdateError(AppL10n::format(QStringLiteral("update_error_http_status"), status.toInt()));
    if (r->error() != QNetworkReply::NoError)
        throw UpdateError(AppL10n::format(QStringLiteral("update_error_network"), r->errorString()));
    const QByteArray body = r->readAll();
    if (body.size() > limit)
        throw UpdateError(AppL10n::text(QStringLiteral("update_error_too_large")));
    co_return body;
}

UpdaterController::UpdaterController(UpdaterDelegate *delegate, UpdateChecker::Options options, QObject *parent)
    : QObject(parent)
    , delegate_(delegate)
    , checker_(new UpdateChecker(std::move(options), this))
    , schedule_(new QTimer(this))
{
    connect(schedule_, &QTimer::timeout, this, &UpdaterController::checkForUpdateInformation);
}

UpdaterController::~UpdaterController()
{
    if (dialog_)
        delete dialog_.data();
}

UpdateDialog *UpdaterController::dialog() const
{
    return dialog_;
}

void UpdaterController::startUpdater(std::chrono::milliseconds interval)
{
    schedule_->start(interval);
}

void UpdaterController::checkForUpdates()
{
    auto check = runCheck(true);
    Q_UNUSED(check);
}

void UpdaterController::checkForUpdateInformation()
{
    auto check = runCheck(false);
    Q_UNUSED(check);
}

QCoro::Task<> UpdaterController::runCheck(bool interactive)
{
    QPointer<UpdaterController> self(this);
    if (interactive) {
        if (!dialog_)
            dialog_ = new UpdateDialog;
        dialog_->showChecking();
        dialog_->show();
        dialog_->raise();
        dialog_->activateWindow();
    }

    std::optional<AppcastItem> found;
    std::optional<QString> failure;
    try {
        found = co_await checker_->check();
    } catch (const Error &error) {
        failure = error.localizedDescription();
    }
    if (!self)
        co_return;

    if (interactive && dialog_) {
        if (failure)
            dialog_->showFailed(*failure);
        else if (found)
            dialog_->showAvailable(*found);
        else
            dialog_->showUpToDate(checker_->options().currentVersion);
    }
    if (delegate_) {
        if (found)
            delegate_->updaterDidFindValidUpdate(*found);
        else
            delegate_->updaterDidNotFindUpdate(failure);
    }
}

} // namespace kestrivane
