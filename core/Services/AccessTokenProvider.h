#pragma once

#include <QCoro/QCoroTask>
#include <QString>

namespace kestrivane {

// Hands out a usable access token for one account, refreshing it first when needed.
// Throws the OAuth client's errors when no token can be had.
class AccessTokenProvider {
public:
    virtual ~AccessTokenProvider() = default;
    virtual QCoro::Task<QString> accessToken() = 0;
};

} // namespace kestrivane
