#include "TestSupport/FakeGoogleServer.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTcpSocket>

#include <QCoro/QCoroNetworkReply>

#include <memory>
#include <stdexcept>

namespace kestrivane::test {

namespace {

QString decodeFormComponent(QByteArray component)
{
    component.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(component));
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

FakeResponse oauthError(const QString &error, const QString &description)
{
    const QJsonObject body{{QStringLiteral("error"), error}, {QStringLiteral("error_description"), description}};
    return FakeResponse::json(400, QJsonDocument(body).toJson(QJsonDocument::Indented));
}

} // namespace

QList<std::pair<QString, QString>> RecordedRequest::formFields() const
{
    QList<std::pair<QString, QString>> fields;
    if (body.isEmpty())
        return fields;
    for (const QByteArray &pair : body.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        if (equals < 0)
            fields.append({decodeFormComponent(pair), QString()});
        else
            fields.append({decodeFormComponent(pair.left(equals)), decodeFormComponent(pair.mid(equals + 1))});
    }
    return fields;
}

std::optional<QString> RecordedRequest::formValue(const QString &name) const
{
    for (const auto &[key, value] : formFields()) {
        if (key == name)
            return value;
    }
    return std::nullopt;
}

FakeResponse FakeResponse::json(int status, const QByteArray &body)
{
    FakeResponse response;
    response.status = status;
    response.headers.append(std::pair<QByteArray, QByteArray>("Content-Type", "application/json; charset=utf-8"));
    response.body = body;
    return response;
}

FakeResponse FakeResponse::redirect(const QUrl &location)
{
    FakeResponse response;
    response.status = 302;
    response.headers.append(std::pair<QByteArray, QByteArray>("Location", location.toEncoded()));
    return response;
}

FakeResponse FakeResponse::drop()
{
    FakeResponse response;
    response.kind = Kind::Drop;
    return response;
}

FakeResponse FakeResponse::hang()
{
    FakeResponse response;
    response.kind = Kind::Hang;
    return response;
}

FakeResponse FakeResponse::dropInBody(int status, const QByteArray &body)
{
    FakeResponse response = json(status, body);
    response.kind = Kind::DropInBody;
    return response;
}

FakeGoogleServer::FakeGoogleServer() : server_(new QTcpServer(this))
{
    if (!server_->listen(QHostAddress(QHostAddress::LocalHost), 0))
        throw std::runtime_error("the stand-in server cannot listen: " + server_->errorString().toStdString());
    connect(server_, &QTcpServer::newConnection, this, &FakeGoogleServer::accept);
}

FakeGoogleServer::~FakeGoogleServer() = default;

quint16 FakeGoogleServer::port() const
{
    return server_->serverPort();
}

QUrl FakeGoogleServer::baseURL() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

GoogleEndpoints FakeGoogleServer::endpoints() const
{
    GoogleEndpoints endpoints;
    endpoints.accountsBase = baseURL();
    endpoints.oauthTokenBase = baseURL();
    endpoints.apiBase = baseURL();
    return endpoints;
}

void FakeGoogleServer::route(const QByteArray &method, const QString &path, Handler handler)
{
    routes_.insert({method, path}, std::move(handler));
}

QList<RecordedRequest> FakeGoogleServer::requestsTo(const QByteArray &method, const QString &path) const
{
    QList<RecordedRequest> matching;
    for (const RecordedRequest &request : requests) {
        if (request.method == method && request.path == path)
            matching.append(request);
    }
    return matching;
}

void FakeGoogleServer::accept()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        buffers_.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            buffers_.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeGoogleServer::read(QTcpSocket *socket)
{
    if (!buffers_.contains(socket))
        return;
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
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.header("content-length").toLongLong();
    if (buffer.size() < headerEnd + 4 + length)
        return;
    request.body = buffer.mid(headerEnd + 4, length);
    buffers_.remove(socket);

    const QUrl url = QUrl::fromEncoded(QByteArray("http://127.0.0.1") + request.target);
    request.path = url.path(QUrl::FullyDecoded);
    request.query = QUrlQuery(url.query(QUrl::FullyEncoded));
    requests.append(request);

    const auto handler = routes_.constFind({request.method, request.path});
    if (handler == routes_.cend())
        answer(socket, FakeResponse::json(404, R"({"error": {"code": 404, "message": "Not Found"}})"));
    else
        answer(socket, (*handler)(request));
}

void FakeGoogleServer::answer(QTcpSocket *socket, const FakeResponse &response)
{
    switch (response.kind) {
    case FakeResponse::Kind::Hang:
        return;
    case FakeResponse::Kind::Drop:
        socket->abort();
        return;
    case FakeResponse::Kind::Answer:
    case FakeResponse::Kind::DropInBody:
        break;
    }
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    for (const auto &[name, value] : response.headers)
        bytes += name + ": " + value + "\r\n";
    if (response.sendContentLength)
        bytes += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    bytes += "Connection: close\r\n\r\n";
    bytes += response.kind == FakeResponse::Kind::DropInBody ? response.body.left(response.body.size() / 2) : response.body;
    socket->write(bytes);
    socket->disconnectFromHost();
}

FakeGoogleOAuth::FakeGoogleOAuth(FakeGoogleServer &server)
{
    server.route("GET", authorizationPath, [this](const RecordedRequest &request) { return authorize(request); });
    server.route("POST", tokenPath, [this](const RecordedRequest &request) { return token(request); });
}

FakeResponse FakeGoogleOAuth::authorize(const RecordedRequest &request)
{
    lastAuthorization = request.query;
    const QUrl redirectURI(request.query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
    if (!redirectURI.isValid() || redirectURI.host() != QStringLiteral("127.0.0.1"))
        return FakeResponse::json(400, R"({"error": "redirect_uri_mismatch"})");
    QUrl target = redirectURI;
    if (redirectQuery) {
        target.setQuery(redirectQuery(request.query), QUrl::StrictMode);
    } else {
        const auto encoded = [](const QString &text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); };
        const auto item = [&](const QString &name) { return request.query.queryItemValue(name, QUrl::FullyDecoded); };
        target.setQuery(QStringLiteral("code=") + encoded(issuedCode) + QStringLiteral("&state=")
                            + encoded(item(QStringLiteral("state"))) + QStringLiteral("&scope=")
                            + encoded(item(QStringLiteral("scope"))),
                        QUrl::StrictMode);
    }
    return FakeResponse::redirect(target);
}

FakeResponse FakeGoogleOAuth::token(const RecordedRequest &request)
{
    if (onTokenRequest)
        onTokenRequest(request);
    if (request.header("content-type") != "application/x-www-form-urlencoded")
        return oauthError(QStringLiteral("invalid_request"), QStringLiteral("Unexpected content type"));
    if (request.formValue(QStringLiteral("client_id")) != clientID
        || request.formValue(QStringLiteral("client_secret")) != clientSecret)
        return oauthError(QStringLiteral("invalid_client"), QStringLiteral("The OAuth client was not found."));

    const std::optional<QString> grant = request.formValue(QStringLiteral("grant_type"));
    QJsonObject answer{
        {QStringLiteral("expires_in"), expiresIn},
        {QStringLiteral("token_type"), QStringLiteral("Bearer")},
        {QStringLiteral("scope"), lastAuthorization.queryItemValue(QStringLiteral("scope"), QUrl::FullyDecoded)},
    };
    if (grant == QStringLiteral("authorization_code")) {
        const QString verifier = request.formValue(QStringLiteral("code_verifier")).value_or(QString());
        const QString challenge = QString::fromLatin1(QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256)
                                                          .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
        if (request.formValue(QStringLiteral("code")) != issuedCode)
            return oauthError(QStringLiteral("invalid_grant"), QStringLiteral("Malformed auth code."));
        if (request.formValue(QStringLiteral("redirect_uri"))
            != lastAuthorization.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded))
            return oauthError(QStringLiteral("redirect_uri_mismatch"), QStringLiteral("Bad Request"));
        if (lastAuthorization.queryItemValue(QStringLiteral("code_challenge_method")) != QStringLiteral("S256")
            || challenge != lastAuthorization.queryItemValue(QStringLiteral("code_challenge")))
            return oauthError(QStringLiteral("invalid_grant"), QStringLiteral("Invalid code verifier."));
        answer.insert(QStringLiteral("access_token"), accessToken);
        if (exchangeGivesRefreshToken)
            answer.insert(QStringLiteral("refresh_token"), refreshToken);
    } else if (grant == QStringLiteral("refresh_token")) {
        if (request.formValue(QStringLiteral("refresh_token")) != refreshToken)
            return oauthError(QStringLiteral("invalid_grant"), QStringLiteral("Token has been expired or revoked."));
        answer.insert(QStringLiteral("access_token"), refreshedAccessToken);
        if (refreshGivesRefreshToken)
            answer.insert(QStringLiteral("refresh_token"), *refreshGivesRefreshToken);
    } else {
        return oauthError(QStringLiteral("unsupported_grant_type"), QStringLiteral("Invalid grant_type"));
    }
    return FakeResponse::json(200, QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

QString FakeGoogleCalendar::eventsPath(const QString &calendarID)
{
    return QStringLiteral("/calendar/v3/calendars/") + calendarID + QStringLiteral("/events");
}

FakeGoogleCalendar::FakeGoogleCalendar(FakeGoogleServer &server) : server_(server)
{
    server.route("GET", calendarListPath, [this](const RecordedRequest &request) { return authorized(request, calendarList); });
    server.route("GET", userInfoPath, [this](const RecordedRequest &request) { return authorized(request, profile); });
}

void FakeGoogleCalendar::setEvents(const QString &calendarID, FakeResponse response)
{
    events_.insert(calendarID, std::move(response));
    server_.route("GET", eventsPath(calendarID), [this, calendarID](const RecordedRequest &request) {
        return authorized(request, events_.value(calendarID));
    });
}

QList<RecordedRequest> FakeGoogleCalendar::eventRequests(const QString &calendarID) const
{
    return server_.requestsTo("GET", eventsPath(calendarID));
}

FakeResponse FakeGoogleCalendar::authorized(const RecordedRequest &request, const FakeResponse &response) const
{
    if (acceptedToken && request.header("authorization") != "Bearer " + acceptedToken->toUtf8())
        return FakeResponse::json(401, unauthorizedBody);
    return response;
}

QCoro::Task<BrowserPage> openLikeBrowser(QUrl url)
{
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(10'000);
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    co_await reply.get();
    BrowserPage page;
    page.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    page.url = reply->url();
    page.body = reply->readAll();
    co_return page;
}

QUrl serveStandInAppcast(FakeGoogleServer &server)
{
    server.route("GET", "/appcast.xml", [](const RecordedRequest &) {
        FakeResponse response;
        response.body = "<rss version=\"2.0\"><channel><item><version>999.0</version><displayVersion>999</displayVersion>"
                        "<link>https://kestrivane.app/download</link></item></channel></rss>";
        return response;
    });
    return server.baseURL().resolved(QUrl("/appcast.xml"));
}

} // namespace kestrivane::test
