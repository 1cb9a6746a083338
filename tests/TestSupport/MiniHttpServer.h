#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

#include <chrono>
#include <functional>

namespace kestrivane::test {

// A small HTTP/1.1 server on 127.0.0.1 for tests: each request gets the answer of `handler`, then
// the connection is closed. Requests are recorded.
class MiniHttpServer : public QObject {
    Q_OBJECT

public:
    struct Request {
        QByteArray method;
        QByteArray target; // path and query as sent
        QMap<QByteArray, QByteArray> headers; // names lower-cased
        QByteArray body;
    };

    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/plain";
        QMap<QByteArray, QByteArray> headers;
        std::chrono::milliseconds delay{0}; // before anything is written
        bool sendContentLength = true;       // false: the body ends when the connection closes
    };

    using Handler = std::function<Response(const Request &)>;

    explicit MiniHttpServer(Handler handler, QObject *parent = nullptr);

    quint16 port() const { return server_.serverPort(); }
    // http://127.0.0.1:<port><path>
    QUrl url(const QString &path = QStringLiteral("/")) const;

    void setHandler(Handler handler) { handler_ = std::move(handler); }
    const QList<Request> &requests() const { return requests_; }

private:
    void accept();

    QTcpServer server_;
    Handler handler_;
    QList<Request> requests_;
};

} // namespace kestrivane::test
