#include "TestSupport/FakeCalendarServer.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace kestrivane::test {

namespace {

QByteArray routeKey(const QByteArray &method, const QByteArray &path)
{
    return method + ' ' + path;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

QByteArray RecordedRequest::path() const
{
    const qsizetype q = target.indexOf('?');
    return q < 0 ? target : target.left(q);
}

QList<QPair<QString, QString>> RecordedRequest::queryItems() const
{
    const qsizetype q = target.indexOf('?');
    if (q < 0)
        return {};
    return QUrlQuery(QString::fromLatin1(target.mid(q + 1))).queryItems(QUrl::FullyDecoded);
}

QList<QByteArray> RecordedRequest::headerValues(const QByteArray &name) const
{
    QList<QByteArray> values;
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            values.append(value);
    }
    return values;
}

StubResponse StubResponse::json(QByteArray body, int status)
{
    StubResponse response;
    response.status = status;
    response.headers = {{"Content-Type", "application/json; charset=UTF-8"}};
    response.body = std::move(body);
    return response;
}

StubResponse StubResponse::dropped(Action action)
{
    StubResponse response;
    response.action = action;
    return response;
}

FakeCalendarServer::FakeCalendarServer(QObject *parent) : QObject(parent)
{
    connect(&server_, &QTcpServer::newConnection, this, &FakeCalendarServer::accept);
}

bool FakeCalendarServer::listen()
{
    return server_.listen(QHostAddress::LocalHost, 0);
}

QUrl FakeCalendarServer::baseURL() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(server_.serverPort());
    return url;
}

GoogleEndpoints FakeCalendarServer::endpoints() const
{
    GoogleEndpoints endpoints;
    endpoints.accountsBase = baseURL();
    endpoints.oauthTokenBase = baseURL();
    endpoints.apiBase = baseURL();
    return endpoints;
}

void FakeCalendarServer::route(const QByteArray &method, const QByteArray &path, StubResponse response)
{
    routes_.insert(routeKey(method, path), std::move(response));
}

void FakeCalendarServer::accept()
{
    while (QTcpSocket *socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            buffers_.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeCalendarServer::readFrom(QTcpSocket *socket)
{
    QByteArray &buffer = buffers_[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    RecordedRequest request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    qsizetype contentLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            contentLength = value.toLongLong();
    }
    if (buffer.size() < headerEnd + 4 + contentLength)
        return;
    request.body = buffer.mid(headerEnd + 4, contentLength);
    buffer.clear();
    requests_.append(request);
    answer(socket, request);
}

void FakeCalendarServer::answer(QTcpSocket *socket, const RecordedRequest &request)
{
    StubResponse response = routes_.value(routeKey(request.method, request.path()),
                                          StubResponse{404, {{"Content-Type", "text/plain"}}, "no route", {}});
    switch (response.action) {
    case StubResponse::Action::hang:
        return;
    case StubResponse::Action::dropBeforeAnswer:
        socket->abort();
        return;
    case StubResponse::Action::respond:
    case StubResponse::Action::dropInBody:
        break;
    }

    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    for (const auto &[name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\nConnection: close\r\n\r\n";
    if (response.action == StubResponse::Action::dropInBody) {
        socket->write(head + response.body.left(response.body.size() / 2));
        socket->disconnectFromHost();
        return;
    }
    socket->write(head + response.body);
    socket->disconnectFromHost();
}

} // namespace kestrivane::test
