#include "TestSupport/MiniHttpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace kestrivane::test {

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

// Parses one request from the bytes read so far; false while it is incomplete.
bool parseRequest(const QByteArray &data, MiniHttpServer::Request &request)
{
    const qsizetype headerEnd = data.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    const QList<QByteArray> lines = data.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (data.size() - (headerEnd + 4) < length)
        return false;
    request.body = data.mid(headerEnd + 4, length);
    return true;
}

} // namespace

MiniHttpServer::MiniHttpServer(Handler handler, QObject *parent) : QObject(parent), handler_(std::move(handler))
{
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, &MiniHttpServer::accept);
}

QUrl MiniHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

void MiniHttpServer::accept()
{
    while (QTcpSocket *socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            Request request;
            if (!parseRequest(*buffer, request))
                return;
            buffer->clear();
            requests_.append(request);
            Response response;
            if (handler_)
                response = handler_(request);
            else
                response.status = 404;
            QPointer<QTcpSocket> guard(socket);
            auto send = [guard, response] {
                if (!guard)
                    return;
                QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status) + "\r\n";
                head += "Content-Type: " + response.contentType + "\r\n";
                if (response.sendContentLength)
                    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
                for (auto it = response.headers.begin(); it != response.headers.end(); ++it)
                    head += it.key() + ": " + it.value() + "\r\n";
                head += "Connection: close\r\n\r\n";
                guard->write(head + response.body);
                guard->disconnectFromHost();
            };
            if (response.delay.count() > 0)
                QTimer::singleShot(response.delay, socket, send);
            else
                send();
        });
    }
}

} // namespace kestrivane::test
