#pragma once

#include "Services/GoogleEndpoints.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <QCoro/QCoroTask>

#include <functional>
#include <optional>
#include <utility>

class QTcpServer;
class QTcpSocket;

namespace kestrivane::test {

// One request as the stand-in received it.
struct RecordedRequest {
    QByteArray method;
    // The request target as sent, and its parts.
    QByteArray target;
    QString path; // percent-decoded
    QUrlQuery query;
    QMap<QByteArray, QByteArray> headers; // names lower-cased
    QByteArray body;

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    // The body read as "application/x-www-form-urlencoded": decoded pairs in wire order.
    QList<std::pair<QString, QString>> formFields() const;
    // The value of the first form field `name`.
    std::optional<QString> formValue(const QString &name) const;
};

// What a route answers.
struct FakeResponse {
    enum class Kind { Answer, Drop, DropInBody, Hang };
    Kind kind = Kind::Answer;
    int status = 200;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // False: no Content-Length header; the body ends when the connection closes.
    bool sendContentLength = true;

    static FakeResponse json(int status, const QByteArray &body);
    static FakeResponse redirect(const QUrl &location);
    // Closes the connection without answering.
    static FakeResponse drop();
    // Never answers (the connection stays open until the server goes).
    static FakeResponse hang();
    // Sends the status line and headers announcing the whole body, then half the body, and closes.
    static FakeResponse dropInBody(int status, const QByteArray &body);
};

// A small HTTP/1.1 server on 127.0.0.1 standing in for Google's services. Routes map a method and
// a decoded path to a handler; unknown routes get 404 with a JSON error. Every request is recorded.
// One request per connection; each answer closes its connection.
class FakeGoogleServer : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<FakeResponse(const RecordedRequest &)>;

    FakeGoogleServer();
    ~FakeGoogleServer() override;

    quint16 port() const;
    QUrl baseURL() const;
    // All Google hosts pointed at this server.
    GoogleEndpoints endpoints() const;

    // Adds or replaces the route of `method` and `path`.
    void route(const QByteArray &method, const QString &path, Handler handler);

    QList<RecordedRequest> requests;
    QList<RecordedRequest> requestsTo(const QByteArray &method, const QString &path) const;

private:
    void accept();
    void read(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const FakeResponse &response);

    QTcpServer *server_;
    QMap<std::pair<QByteArray, QString>, Handler> routes_;
    QMap<QTcpSocket *, QByteArray> buffers_;
};

// Google's OAuth endpoints on a FakeGoogleServer. The authorisation endpoint plays the consent
// page and the user: it redirects straight to the request's redirect_uri with the issued code and
// the state. The token endpoint checks the credentials, the code, the redirect URI and the PKCE
// verifier against the challenge of the last authorisation request, and answers refreshes of the
// issued refresh token; anything else gets 400 with an OAuth error body.
class FakeGoogleOAuth {
public:
    static inline const QString authorizationPath = QStringLiteral("/o/oauth2/v2/auth");
    static inline const QString tokenPath = QStringLiteral("/token");

    explicit FakeGoogleOAuth(FakeGoogleServer &server);

    QString clientID = QStringLiteral("test-client.apps.example");
    QString clientSecret = QStringLiteral("test-secret");
    QString issuedCode = QStringLiteral("4/0A-code+with/odd chars");
    QString accessToken = QStringLiteral("ya29.first-access");
    QString refreshToken = QStringLiteral("1//first-refresh");
    QString refreshedAccessToken = QStringLiteral("ya29.refreshed-access");
    int expiresIn = 3599;
    bool exchangeGivesRefreshToken = true;
    // Google answers refreshes without a new refresh token.
    std::optional<QString> refreshGivesRefreshToken;
    // The query of the redirect, from the authorisation request's query; default: code and state.
    std::function<QString(const QUrlQuery &authorization)> redirectQuery;

    // Runs when a token request arrives, before it is answered (tests act "meanwhile" here).
    std::function<void(const RecordedRequest &)> onTokenRequest;

    // From the last authorisation request.
    QUrlQuery lastAuthorization;

private:
    FakeResponse authorize(const RecordedRequest &request);
    FakeResponse token(const RecordedRequest &request);
};

// Google's Calendar API and user-info endpoints on a FakeGoogleServer, answering what is set here
// (changeable at any time). When `acceptedToken` is set, a request without exactly that bearer
// token gets 401 with Google's JSON error instead.
class FakeGoogleCalendar {
public:
    static inline const QString calendarListPath = QStringLiteral("/calendar/v3/users/me/calendarList");
    static inline const QString userInfoPath = QStringLiteral("/oauth2/v2/userinfo");
    // The decoded path of the events of `calendarID`.
    static QString eventsPath(const QString &calendarID);
    static inline const QByteArray unauthorizedBody =
        R"({"error": {"code": 401, "message": "Request had invalid authentication credentials.", "status": "UNAUTHENTICATED"}})";

    explicit FakeGoogleCalendar(FakeGoogleServer &server);

    std::optional<QString> acceptedToken;
    FakeResponse calendarList = FakeResponse::json(200, R"({"items": []})");
    FakeResponse profile = FakeResponse::json(404, R"({"error": "no profile set"})");

    // Routes the events of `calendarID` (a calendar without events set gets 404).
    void setEvents(const QString &calendarID, FakeResponse response);
    void setEvents(const QString &calendarID, const QByteArray &json) { setEvents(calendarID, FakeResponse::json(200, json)); }

    // The requests of the events of `calendarID`.
    QList<RecordedRequest> eventRequests(const QString &calendarID) const;

private:
    FakeResponse authorized(const RecordedRequest &request, const FakeResponse &response) const;

    FakeGoogleServer &server_;
    QMap<QString, FakeResponse> events_;
};

// What a browser ended on after following redirects.
struct BrowserPage {
    int status = 0;
    QUrl url;
    QByteArray body;
};

// Opens `url` the way a browser would (GET, following redirects) and yields the last page.
QCoro::Task<BrowserPage> openLikeBrowser(QUrl url);

// Routes GET /appcast.xml of `server` to an update feed offering version 999; its address.
QUrl serveStandInAppcast(FakeGoogleServer &server);

} // namespace kestrivane::test
