#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <chrono>
#include <coroutine>
#include <exception>
#include <optional>

class QTcpServer;

namespace kestrivane {

// `text` with & " ' < > replaced by their HTML entities (the ampersand first, so the later
// entities are not escaped again).
QString htmlEscaped(QString text);

// One-shot HTTP listener on 127.0.0.1 that receives the browser's redirect at the end of a Google
// authorisation. Every readable request gets the same page; the "code" and "state" query values
// of the first request it handles settle the wait, and the listener stops accepting connections.
// Main-thread object; the owner deletes it when the flow ends, which also stops it.
class OAuthLoopbackServer : public QObject {
    Q_OBJECT

public:
    struct Callback {
        std::optional<QString> code;
        std::optional<QString> state;
        friend bool operator==(const Callback &, const Callback &) = default;
    };

    static constexpr std::chrono::milliseconds defaultCallbackTimeout = std::chrono::minutes(10);
    // A connection's request is read until the end of its header block, `maxRequestBytes`, or
    // this long without new bytes.
    static constexpr std::chrono::milliseconds requestIdleTimeout = std::chrono::seconds(1);
    static constexpr qsizetype maxRequestBytes = 8192;

    explicit OAuthLoopbackServer(QObject *parent = nullptr);
    ~OAuthLoopbackServer() override;

    // Listens on 127.0.0.1 on a port the system picks and sets `redirectURI`. Throws Error when
    // no port can be had.
    void start();

    // "http://127.0.0.1:<port>/oauth2callback"; empty before start().
    const QString &redirectURI() const { return redirectURI_; }
    quint16 port() const { return port_; }
    bool isListening() const;

    // The callback of the first handled request, also one that came before this call. Fails with
    // invalidAuthorizationResponse when the request target is unreadable or nothing came within
    // `timeout`, and with CancellationError after cancel(). Await it once, from the owner of the
    // server, and keep the server alive until it returns.
    QCoro::Task<Callback> waitForCallback(std::chrono::milliseconds timeout = defaultCallbackTimeout);

    // Ends the wait (now or when it begins) with CancellationError and stops listening.
    void cancel();

    // The page served to every request, with `message` escaped into its paragraph.
    static QString successHTML(const QString &message);
    // The complete HTTP reply carrying successHTML(message).
    static QByteArray replyBytes(const QString &message);

    // Listeners of this process currently accepting connections.
    static int listeningCount();

    // The request target of a received request ("GET <target> HTTP/1.1"; "/" when the request
    // line has none); nullopt when the bytes are empty or not UTF-8, which gets no reply.
    static std::optional<QString> requestTarget(const QByteArray &request);
    // The "code" and "state" query values of a request target ("+" is a plus sign); nullopt when
    // the target does not make a valid URL.
    static std::optional<Callback> callbackFromTarget(const QString &target);

private:
    class CallbackAwaiter;
    class Connection;
    // The request target of a connection's request: settles the wait with its "code" and "state".
    void handle(const QString &target);
    void acceptConnections();
    void stopListening();
    void settle(std::optional<Callback> callback, std::exception_ptr error);

    QTcpServer *server_;
    QString redirectURI_;
    quint16 port_ = 0;
    QTimer timeout_;
    bool settled_ = false;
    std::optional<Callback> callback_;
    std::exception_ptr error_;
    std::coroutine_handle<> waiter_;
};

} // namespace kestrivane
