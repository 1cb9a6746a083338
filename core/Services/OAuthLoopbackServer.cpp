#include "Services/OAuthLoopbackServer.h"

#include "Services/GoogleOAuthClient.h"
#include "Support/HTTP.h"
#include "Support/Localization.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace kestrivane {

namespace {

int listeners = 0;

// How long a connection may take to take its reply after it was written.
constexpr std::chrono::milliseconds replyDrainTimeout = std::chrono::seconds(10);

const char pageHead[] = R"HTML(<!doctype html>
<html lang="ja">
<head>
  <meta charset="utf-8">
  <meta name="viewport" content="width=device-width, initial-scale=1">
  <title>Kestrivane</title>
  <style>
    :root {
      color-scheme: light dark;
      --bg: #f4f2fb;
      --card: rgba(255, 255, 255, 0.78);
      --text: #2f2d3f;
      --muted: #6f6b80;
      --surface: #4c495f;
      --border: rgba(76, 73, 95, 0.14);
      --shadow: rgba(30, 28, 45, 0.16);
    }
    @media (prefers-color-scheme: dark) {
      :root {
        --bg: #2f2d3f;
        --card: rgba(70, 67, 87, 0.82);
        --text: #f7f5ff;
        --muted: #c7c2d8;
        --surface: #57536b;
        --border: rgba(255, 255, 255, 0.12);
        --shadow: rgba(0, 0, 0, 0.28);
      }
    }
    * { box-sizing: border-box; }
    body {
      margin: 0;
      min-height: 100vh;
      display: grid;
      place-items: center;
      padding: 32px;
      background: radial-gradient(circle at top, rgba(109, 105, 132, 0.225), transparent 62%), var(--bg);
      color: var(--text);
      font-family: system-ui, -apple-system, "Segoe UI", "Noto Sans", "Noto Sans CJK JP", sans-serif;
    }
    main {
      width: 100%;
      max-width: 420px;
      padding: 34px 32px 30px;
      border: 1px solid var(--border);
      border-radius: 24px;
      background: var(--card);
      box-shadow: 0 24px 70px var(--shadow);
      text-align: center;
      backdrop-filter: blur(20px);
      -webkit-backdrop-filter: blur(20px);
    }
    .icon {
      width: 72px;
      height: 72px;
      margin: 0 auto 18px;
      display: grid;
      place-items: center;
      border-radius: 18px;
      background: linear-gradient(145deg, #6d6984, #3f3c4f);
      box-shadow: 0 10px 24px var(--shadow), inset 0 0 0 1px var(--surface);
    }
    .icon svg { width: 40px; height: 40px; fill: #ffffff; }
    h1 { margin: 0 0 10px; font-size: 24px; font-weight: 700; letter-spacing: 0.01em; }
    p { margin: 0; font-size: 15px; line-height: 1.65; color: var(--muted); }
  </style>
</head>
<body>
  <main>
    <div class="icon" aria-hidden="true">
      <svg viewBox="0 0 64 64" xmlns="http://www.w3.org/2000/svg"><path d="M32 7c-1.9 0-3.4 1.5-3.4 3.4v1.3C20.1 13.3 14.6 20.6 14.6 29.4v10.2L9.4 45.8c-.9 1.1-.1 2.8 1.3 2.8h42.6c1.4 0 2.2-1.7 1.3-2.8l-5.2-6.2V29.4c0-8.8-5.5-16.1-14-17.7v-1.3C35.4 8.5 33.9 7 32 7zm-6.6 45.2a6.6 6.6 0 0 0 13.2 0z"/></svg>
    </div>
    <h1>Kestrivane</h1>
    <p>)HTML";

const char pageTail[] = "</p>\n  </main>\n</body>\n</html>";

} // namespace

QString htmlEscaped(QString text)
{
    text.replace(u'&', QStringLiteral("&amp;"));
    text.replace(u'"', QStringLiteral("&quot;"));
    text.replace(u'\'', QStringLiteral("&#39;"));
    text.replace(u'<', QStringLiteral("&lt;"));
    text.replace(u'>', QStringLiteral("&gt;"));
    return text;
}

// Reads one request from an accepted socket and answers it. Lives on its own (owned by the
// application object, deleted when done), so a reply already under way outlives the listener.
class OAuthLoopbackServer::Connection : public QObject {
public:
    Connection(QTcpSocket *socket, OAuthLoopbackServer *server)
        : QObject(QCoreApplication::instance()), socket_(socket), server_(server)
    {
        socket_->setParent(this);
        idle_.setSingleShot(true);
        QObject::connect(&idle_, &QTimer::timeout, this, [this] {
            if (reading_)
                finishReading();
            else
                close(); // the reply was never taken
        });
        QObject::connect(socket_, &QTcpSocket::readyRead, this, &Connection::read);
        QObject::connect(socket_, &QTcpSocket::readChannelFinished, this, [this] {
            if (reading_)
                finishReading();
        });
        QObject::connect(socket_, &QTcpSocket::disconnected, this, [this] {
            if (reading_)
                finishReading();
            close();
        });
        idle_.start(requestIdleTimeout);
        read();
    }

private:
    void read()
    {
        if (!reading_) {
            socket_->readAll(); // whatever follows the request is not looked at
            return;
        }
        buffer_.append(socket_->read(maxRequestBytes - buffer_.size()));
        if (buffer_.size() >= maxRequestBytes || buffer_.contains("\r\n\r\n") || buffer_.contains("\n\n"))
            finishReading();
        else
            idle_.start(requestIdleTimeout);
    }

    void finishReading()
    {
        reading_ = false;
        idle_.stop();
        const std::optional<QString> target = requestTarget(buffer_);
        if (!target)
            return close();
        if (server_)
            server_->handle(*target);
        if (socket_->state() != QAbstractSocket::ConnectedState)
            return close();
        socket_->write(replyBytes(L10n::text(QStringLiteral("oauth_callback_success"))));
        // Closes once the reply has been written; the timer ends a peer that never takes it.
        idle_.start(replyDrainTimeout);
        socket_->disconnectFromHost();
    }

    void close()
    {
        if (closed_)
            return;
        closed_ = true;
        reading_ = false;
        idle_.stop();
        socket_->abort();
        deleteLater();
    }

    QTcpSocket *socket_;
    QPointer<OAuthLoopbackServer> server_;
    QTimer idle_;
    QByteArray buffer_;
    bool reading_ = true;
    bool closed_ = false;
};

class OAuthLoopbackServer::CallbackAwaiter {
public:
    explicit CallbackAwaiter(OAuthLoopbackServer *server) : server_(server) {}
    bool await_ready() const noexcept { return server_->settled_; }
    void await_suspend(std::coroutine_handle<> handle) noexcept { server_->waiter_ = handle; }
    void await_resume() const noexcept {}

private:
    OAuthLoopbackServer *server_;
};

OAuthLoopbackServer::OAuthLoopbackServer(QObject *parent) : QObject(parent), server_(new QTcpServer(this))
{
    timeout_.setSingleShot(true);
    QObject::connect(&timeout_, &QTimer::timeout, this, [this] {
        settle(std::nullopt, std::make_exception_ptr(
                                 GoogleOAuthClient::OAuthError(GoogleOAuthClient::OAuthError::invalidAuthorizationResponse)));
    });
    QObject::connect(server_, &QTcpServer::newConnection, this, &OAuthLoopbackServer::acceptConnections);
}

OAuthLoopbackServer::~OAuthLoopbackServer()
{
    stopListening();
}

void OAuthLoopbackServer::start()
{
    if (server_->isListening())
        return;
    // Loopback only: nothing on the network may reach the listener or end the sign-in.
    if (!server_->listen(QHostAddress(QHostAddress::LocalHost), 0))
        throw Error(L10n::format(QStringLiteral("oauth_error_listener_failed"), server_->errorString()));
    ++listeners;
    port_ = server_->serverPort();
    redirectURI_ = QStringLiteral("http://127.0.0.1:%1/oauth2callback").arg(port_);
}

bool OAuthLoopbackServer::isListening() const
{
    return server_->isListening();
}

int OAuthLoopbackServer::listeningCount()
{
    return listeners;
}

void OAuthLoopbackServer::stopListening()
{
    if (!server_->isListening())
        return;
    server_->close();
    --listeners;
}

void OAuthLoopbackServer::acceptConnections()
{
    while (QTcpSocket *socket = server_->nextPendingConnection())
        new Connection(socket, this);
}

QCoro::Task<OAuthLoopbackServer::Callback> OAuthLoopbackServer::waitForCallback(std::chrono::milliseconds timeout)
{
    if (!settled_) {
        timeout_.start(timeout);
        co_await CallbackAwaiter(this);
    }
    if (error_)
        std::rethrow_exception(error_);
    Callback callback = *callback_; // a copy: co_return moves from what it names
    co_return callback;
}

void OAuthLoopbackServer::cancel()
{
    settle(std::nullopt, std::make_exception_ptr(CancellationError()));
}

void OAuthLoopbackServer::settle(std::optional<Callback> callback, std::exception_ptr error)
{
    stopListening();
    if (settled_)
        return;
    settled_ = true;
    timeout_.stop();
    callback_ = std::move(callback);
    error_ = std::move(error);
    if (auto handle = std::exchange(waiter_, {})) {
        // Resume from the event loop, never inside a connection's or the caller's stack, and not
        // in an event of this object: the resumed flow deletes it.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [handle, self = QPointer<OAuthLoopbackServer>(this)] {
                if (self)
                    handle.resume();
            },
            Qt::QueuedConnection);
    }
}

namespace {

// The percent-decoded UTF-8 text of a query component; nullopt when it decodes to invalid UTF-8.
std::optional<QString> queryComponent(QStringView encoded)
{
    return decodeUTF8(QByteArray::fromPercentEncoding(encoded.toUtf8()));
}

// The value of the first item named `name` in an encoded query; nullopt when there is no such
// item or it has no value.
std::optional<QString> queryValue(const QString &encodedQuery, const QString &name)
{
    for (QStringView item : QStringView(encodedQuery).split(u'&')) {
        const qsizetype equals = item.indexOf(u'=');
        if (queryComponent(equals < 0 ? item : item.left(equals)) != name)
            continue;
        if (equals < 0)
            return std::nullopt;
        return queryComponent(item.mid(equals + 1));
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> OAuthLoopbackServer::requestTarget(const QByteArray &request)
{
    const std::optional<QString> text = request.isEmpty() ? std::nullopt : decodeUTF8(request);
    if (!text)
        return std::nullopt;
    const QStringList pieces = text->split(u' ');
    return pieces.size() > 1 ? pieces.at(1) : QStringLiteral("/");
}

std::optional<OAuthLoopbackServer::Callback> OAuthLoopbackServer::callbackFromTarget(const QString &target)
{
    const QUrl url(QStringLiteral("http://127.0.0.1") + target, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    Callback callback;
    if (url.hasQuery()) {
        // A "+" is a plus sign here, never an encoded space.
        const QString query = url.query(QUrl::FullyEncoded).replace(u'+', QStringLiteral("%2B"));
        callback.code = queryValue(query, QStringLiteral("code"));
        callback.state = queryValue(query, QStringLiteral("state"));
    }
    return callback;
}

void OAuthLoopbackServer::handle(const QString &target)
{
    if (settled_)
        return;
    std::optional<Callback> callback = callbackFromTarget(target);
    if (!callback) {
        settle(std::nullopt, std::make_exception_ptr(
                                 GoogleOAuthClient::OAuthError(GoogleOAuthClient::OAuthError::invalidAuthorizationResponse)));
        return;
    }
    settle(std::move(callback), nullptr);
}

QString OAuthLoopbackServer::successHTML(const QString &message)
{
    return QString::fromUtf8(pageHead) + htmlEscaped(message) + QString::fromUtf8(pageTail);
}

QByteArray OAuthLoopbackServer::replyBytes(const QString &message)
{
    const QByteArray page = successHTML(message).toUtf8();
    QByteArray reply = "HTTP/1.1 200 OK\r\n"
                       "Content-Type: text/html; charset=utf-8\r\n"
                       "Content-Length: ";
    reply += QByteArray::number(page.size());
    reply += "\r\nConnection: close\r\n\r\n";
    reply += page;
    return reply;
}

} // namespace kestrivane
