#pragma once

#include "Services/GoogleEndpoints.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>
#include <QUrl>
#include <QUrlQuery>

namespace kestrivane::test {

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// One request as it arrived.
struct RecordedRequest {
    QByteArray method;
    // The request target exactly as sent, e.g. /calendar/v3/calendars/a%23b/events?singleEvents=true
    QByteArray target;
    HttpHeaders headers;
    QByteArray body;

    // The target up to the "?", still encoded.
    QByteArray path() const;
    // The query items in their order, values decoded.
    QList<QPair<QString, QString>> queryItems() const;
    // Every value of the header `name` (case-insensitive), in order.
    QList<QByteArray> headerValues(const QByteArray &name) const;
};

// What a route answers.
struct StubResponse {
    enum class Action {
        respond,          // status, headers and body, then close
        dropBeforeAnswer, // close the connection without a byte of answer
        dropInBody,       // announce the whole body, send half of it, then close
        hang,             // never answer
    };

    int status = 200;
    HttpHeaders headers;
    QByteArray body;
    Action action = Action::respond;

    static StubResponse json(QByteArray body, int status = 200);
    static StubResponse dropped(Action action = Action::dropBeforeAnswer);
};

// A stand-in HTTP/1.1 server on 127.0.0.1 for the Google API: a table of method and raw path
// (the request target without its query) to answers. Unknown routes answer 404 "no route".
// Every connection is closed after its answer.
class FakeCalendarServer : public QObject {
public:
    explicit FakeCalendarServer(QObject *parent = nullptr);

    // Listens on a free port of 127.0.0.1; false when it could not.
    bool listen();
    QUrl baseURL() const;
    // Endpoints whose hosts are all this server.
    GoogleEndpoints endpoints() const;

    void route(const QByteArray &method, const QByteArray &path, StubResponse response);
    void routeGet(const QByteArray &path, StubResponse response) { route("GET", path, std::move(response)); }

    const QList<RecordedRequest> &requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }

private:
    void accept();
    void readFrom(class QTcpSocket *socket);
    void answer(QTcpSocket *socket, const RecordedRequest &request);

    QTcpServer server_;
    QHash<QByteArray, StubResponse> routes_;
    QHash<QTcpSocket *, QByteArray> buffers_;
    QList<RecordedRequest> requests_;
};

} // namespace kestrivane::test
